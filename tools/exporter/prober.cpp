#include "exporter/prober.h"

#include "discovery/stop_signal.h"
#include "flows/button_table.h"
#include "flows/reply_rules.h"
#include "flows/run.h"
#include "transport/worker_links.h"

#include <QThreadPool>

#include <algorithm>
#include <optional>

namespace dravik::exporter {

namespace {

// The pool's idle threads end after this, so a quiet exporter holds no threads of its own.
constexpr int kThreadExpiryMs = 2000;

const flows::ButtonFlow& FlowFor(Read read) {
    switch (read) {
        case Read::Temperature: return flows::FlowOf(flows::ButtonFlowId::Temperature);
        case Read::OperatingTime: return flows::FlowOf(flows::ButtonFlowId::Hours);
        case Read::Backlight: return flows::FlowOf(flows::ButtonFlowId::BacklightQuery);
        default: return flows::VideoQueryFlow();
    }
}

// The typed failure of a line that did not open; another program holding it is PortBusy.
flows::Outcome LineOpenFailure(const transport::OpenedLine& line) {
    return line.heldElsewhere() ? flows::Outcome::PortBusy : flows::OpenFailureOutcome(line.reason());
}

void FailAll(ProbeResult& r, flows::Outcome outcome) {
    for (ReadResult& read : r.reads) {
        read.ran = true;
        read.outcome = outcome;
    }
}

}  // namespace

bool ProbeResult::success() const {
    return !timedOut && !forbidden && !reads.empty() &&
           std::all_of(reads.begin(), reads.end(), [](const ReadResult& r) { return r.ok(); });
}

std::string ProbeResult::outcomeLabel() const {
    if (success()) return "success";
    for (const ReadResult& r : reads)
        if (r.ran && !r.ok()) return std::string(flows::OutcomeName(r.outcome));
    return timedOut ? "timeout" : "failed";
}

ProbeResult ExecuteProbe(const ProbePlan& plan, const discovery::StopSignal& stop,
                         const std::function<void(const ProbeResult&)>& publish) {
    ProbeResult r;
    r.model = plan.model;
    std::vector<Read> reads = plan.module.reads;
    // Without a model no frame can be chosen: the identity comes first.
    if (plan.model.empty() && !plan.module.has(Read::Identity)) reads.insert(reads.begin(), Read::Identity);
    for (Read read : reads) r.reads.push_back(ReadResult{read, false, flows::Outcome::NoReply, {}});

    targets::Target t;
    t.id = std::to_string(plan.target.monitorId);
    t.model = plan.model;
    std::optional<transport::LanWorkerLink> lan;
    std::optional<transport::OpenedLine> line;
    flows::DisplayContext ctx;
    ctx.stop = &stop;
    if (plan.target.serial) {
        t.interface = targets::Interface::Serial;
        t.device = plan.target.device;
        line.emplace(QString::fromStdString(t.device), /*traced=*/false);
        if (!line->isOpen()) {
            // Another program (the window) holding the line is an answer, not our error.
            FailAll(r, LineOpenFailure(*line));
            return r;
        }
        ctx.links.serial = line->link();
    } else {
        t.address = plan.target.host;
        if (!ParseIpv4(t.address)) {
            const transport::ResolvedAddress resolved = transport::SystemResolve(t.address, transport::Millis(5000));
            if (!resolved.status.ok()) {
                FailAll(r, flows::Outcome::NameNotResolved);
                return r;
            }
            t.address = resolved.ipv4;
        }
        const auto ipv4 = ParseIpv4(t.address);
        if (!ipv4 || !plan.config.allowsAddress(*ipv4)) {
            r.forbidden = true;
            return r;
        }
        // The LAN link's connect is bounded by the probe's time left, so the probe's
        // deadline holds for a display that never accepts.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(plan.deadline - SteadyClock::now());
        transport::LanLinkOptions options;
        options.port = plan.target.port;
        options.connectBound = std::clamp(left, std::chrono::milliseconds(1), options.connectBound);
        lan.emplace(options, /*traced=*/false);
        ctx.links.lan = &lan->link();
        ctx.lanPort = plan.target.port;
        ctx.connectBound = options.connectBound;
    }

    bool first = true;
    for (std::size_t i = 0; i < r.reads.size(); ++i) {
        if (stop.Stopped()) break;
        // The line's own pause between two exchanges, as between the rows of a walk.
        if (plan.target.serial && !first && !stop.SleepFor(flows::rules::kSerialRowPause)) break;
        first = false;
        ReadResult& read = r.reads[i];
        flows::RunCommand command;
        if (read.read == Read::Identity) {
            command.kind = flows::RunKind::Identity;
        } else {
            command.flow = &FlowFor(read.read);
        }
        const flows::DisplayResult d = flows::RunOnDisplay(command, t, ctx);
        read.ran = true;
        read.outcome = d.row.outcome;
        read.value = d.row.value;
        if (read.read == Read::Identity && read.ok()) {
            // A display that refuses the identity query names no model, whatever text the
            // scan would have made of its answer.
            const flows::Outcome refusal = flows::rules::ClassifyReply(d.identityReply);
            if (refusal == flows::Outcome::Nack || refusal == flows::Outcome::Nav) {
                read.outcome = refusal;
                read.value.model.reset();
            }
        }
        if (read.read == Read::Identity) {
            if (read.ok() && read.value.model && !read.value.model->empty()) {
                // The info series carries what the display reported; a given model still
                // chooses the frames.
                r.model = *read.value.model;
                if (plan.model.empty()) t.model = r.model;
            } else if (t.model.empty()) {
                // No model, no frame: the other reads fail as the identity did.
                if (read.ok()) read.outcome = flows::Outcome::ShortReply;
                for (std::size_t k = i + 1; k < r.reads.size(); ++k) {
                    r.reads[k].ran = true;
                    r.reads[k].outcome = read.outcome;
                }
                publish(r);
                break;
            }
        }
        publish(r);
    }
    return r;
}

struct Prober::Job {
    ProbePlan plan;
    std::string key;
    SteadyClock::time_point arrived;
    SteadyClock::time_point deadline;
    Done done;
    discovery::StopSignal stop;
    std::mutex mutex;
    ProbeResult partial;
    bool started = false;       // guarded by the prober's mutex
    bool pastDeadline = false;  // guarded by the prober's mutex
    bool answered = false;

    // Once only: the probe's end, or the deadline.
    void answer(ProbeResult result) {
        {
            std::lock_guard lock(mutex);
            if (answered) return;
            answered = true;
        }
        result.duration = SteadyClock::now() - arrived;
        done(result);
    }
    bool isAnswered() {
        std::lock_guard lock(mutex);
        return answered;
    }
};

Prober::Prober(int maxConcurrent, ProbeListener* listener)
    : max_(std::max(1, maxConcurrent)), listener_(listener), pool_(std::make_unique<QThreadPool>()) {
    pool_->setMaxThreadCount(max_);
    pool_->setExpiryTimeout(kThreadExpiryMs);
    watcher_ = std::thread([this] { watch(); });
}

Prober::~Prober() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        for (const auto& job : live_) job->stop.Stop();
    }
    changed_.notify_all();
    watcher_.join();
    pool_->waitForDone();
}

int Prober::running() const {
    std::lock_guard lock(mutex_);
    return running_;
}

int Prober::queued() const {
    std::lock_guard lock(mutex_);
    return queued_;
}

void Prober::submit(ProbePlan plan, SteadyClock::time_point deadline, Done done) {
    auto job = std::make_shared<Job>();
    job->key = plan.target.lineKey();
    plan.deadline = deadline;
    job->plan = std::move(plan);
    job->arrived = SteadyClock::now();
    job->deadline = deadline;
    job->done = std::move(done);
    {
        std::lock_guard lock(mutex_);
        auto& queue = byKey_[job->key];
        queue.push_back(job);
        if (queue.size() == 1) ready_.push_back(job->key);
        live_.push_back(job);
        ++queued_;
        dispatchLocked();
    }
    changed_.notify_all();
}

void Prober::dispatchLocked() {
    while (running_ < max_ && !ready_.empty() && !closing_) {
        const std::string key = ready_.front();
        ready_.pop_front();
        auto& queue = byKey_[key];
        // Probes answered at their deadline while they waited are dropped here.
        while (!queue.empty() && queue.front()->isAnswered()) queue.pop_front();
        if (queue.empty()) {
            byKey_.erase(key);
            continue;
        }
        std::shared_ptr<Job> job = queue.front();
        job->started = true;
        --queued_;
        ++running_;
        const auto wait = SteadyClock::now() - job->arrived;
        if (listener_) {
            listener_->started(wait);
            listener_->inFlight(running_);
        }
        pool_->start([this, job, wait] {
            ProbeResult result = ExecuteProbe(job->plan, job->stop, [&](const ProbeResult& partial) {
                std::lock_guard lock(job->mutex);
                job->partial = partial;
            });
            result.queueWait = wait;
            job->answer(std::move(result));
            finish(job);
        });
    }
}

void Prober::finish(const std::shared_ptr<Job>& job) {
    {
        std::lock_guard lock(mutex_);
        --running_;
        if (listener_) listener_->inFlight(running_);
        live_.erase(std::remove(live_.begin(), live_.end(), job), live_.end());
        auto& queue = byKey_[job->key];
        if (!queue.empty() && queue.front() == job) queue.pop_front();
        if (queue.empty()) {
            byKey_.erase(job->key);
        } else {
            ready_.push_back(job->key);
        }
        dispatchLocked();
    }
    changed_.notify_all();
}

void Prober::watch() {
    std::unique_lock lock(mutex_);
    while (!closing_) {
        const auto now = SteadyClock::now();
        std::vector<std::shared_ptr<Job>> expired;
        auto next = SteadyClock::time_point::max();
        for (const auto& job : live_) {
            if (job->pastDeadline) continue;
            if (job->deadline <= now) {
                expired.push_back(job);
            } else {
                next = std::min(next, job->deadline);
            }
        }
        // A waiting probe leaves the watch list once answered; a running one stays until its
        // worker finishes (its queue is still held).
        for (const auto& job : expired) {
            job->pastDeadline = true;
            if (!job->started) {
                live_.erase(std::remove(live_.begin(), live_.end(), job), live_.end());
                --queued_;
            } else {
                job->stop.Stop();
            }
        }
        if (!expired.empty()) {
            lock.unlock();
            for (const auto& job : expired) {
                ProbeResult partial;
                {
                    std::lock_guard jl(job->mutex);
                    partial = job->partial;
                }
                if (partial.reads.empty())
                    for (Read read : job->plan.module.reads) partial.reads.push_back(ReadResult{read, false, {}, {}});
                if (partial.model.empty()) partial.model = job->plan.model;
                partial.timedOut = true;
                job->answer(std::move(partial));
            }
            lock.lock();
            continue;
        }
        if (next == SteadyClock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, next);
        }
    }
    // Closing: answer whatever still waits.
    std::vector<std::shared_ptr<Job>> left = live_;
    lock.unlock();
    for (const auto& job : left) {
        job->stop.Stop();
        ProbeResult r;
        for (Read read : job->plan.module.reads) r.reads.push_back(ReadResult{read, false, {}, {}});
        r.timedOut = true;
        job->answer(std::move(r));
    }
}

}  // namespace dravik::exporter
