#include "flows/flow_worker.h"

#include <QMetaObject>

namespace dravik::flows {

FlowWorker::FlowWorker(QObject* owner) : owner_(owner) {
    thread_.setObjectName(QStringLiteral("dravik-flow"));
    context_ = std::make_unique<QObject>();
    context_->moveToThread(&thread_);
    thread_.start();
}

FlowWorker::~FlowWorker() {
    stop_ = true;
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    answered_.notify_all();
    thread_.quit();
    thread_.wait();
    context_.reset();
}

bool FlowWorker::start(std::function<void()> job, std::function<void()> done) {
    if (running_ || closing_) return false;
    running_ = true;
    stop_ = false;
    QPointer<QObject> owner(owner_);
    QMetaObject::invokeMethod(
        context_.get(),
        [this, owner, job = std::move(job), done = std::move(done)] {
            job();
            post([this, done] {
                running_ = false;
                if (done) done();
            });
        },
        Qt::QueuedConnection);
    return true;
}

void FlowWorker::post(std::function<void()> fn) {
    if (closing_) return;
    QMetaObject::invokeMethod(owner_, std::move(fn), Qt::QueuedConnection);
}

bool FlowWorker::call(const std::function<void()>& fn) {
    if (closing_) return false;
    // The answer is shared with the posted call, which may outlive this wait when the page
    // goes away first.
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        owner_,
        [this, fn, done] {
            if (closing_) return;
            fn();
            {
                std::lock_guard lock(mutex_);
                *done = true;
            }
            answered_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    answered_.wait(lock, [&] { return *done || closing_.load(); });
    return *done;
}

}  // namespace dravik::flows
