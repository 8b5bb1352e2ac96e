// Where the window's flows run: one worker thread per page, so that no exchange, wait or
// connect ever blocks the window thread. The page starts a job; while it runs the page is
// busy and a press meanwhile waits its turn. The job's observer reaches the window through
// the bridge: events are posted in order, and only a modal box (a notice, a refusal) waits
// for the window, or gives up when the page goes away.
#pragma once

#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace dravik::flows {

class FlowWorker {
public:
    // `owner` is the page: events and the end of each job are delivered on its thread.
    explicit FlowWorker(QObject* owner);
    // Asks a running job to stop, releases any wait of its bridge and joins the thread.
    ~FlowWorker();
    FlowWorker(const FlowWorker&) = delete;
    FlowWorker& operator=(const FlowWorker&) = delete;

    // Runs `job` on the worker thread, then `done` on the owner's thread. False, doing nothing,
    // while another job runs.
    bool start(std::function<void()> job, std::function<void()> done);
    bool running() const { return running_; }
    QThread* thread() { return &thread_; }

    // From the worker: `fn` runs on the owner's thread, after every event posted before it.
    void post(std::function<void()> fn);
    // From the worker: runs `fn` on the owner's thread and waits for it. False when the page
    // went away first (fn then never runs).
    bool call(const std::function<void()>& fn);

    // Between rows: the operator (or the page's end) asked the job to stop.
    bool stopRequested() const { return stop_; }
    void requestStop() { stop_ = true; }

private:
    QObject* owner_;
    QThread thread_;
    std::unique_ptr<QObject> context_;  // lives on the worker thread; jobs are queued to it
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> closing_{false};
    std::mutex mutex_;
    std::condition_variable answered_;
};

}  // namespace dravik::flows
