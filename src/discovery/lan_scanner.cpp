#include "discovery/lan_scanner.h"

#include "discovery/probe.h"
#include "discovery/scan_rules.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace dravik::discovery {

namespace detail {

// The way from the threads to the page. Shared with every thread, so a thread that
// outlives the scanner still finds it, closed.
struct ScanChannel {
    std::mutex mutex;
    std::condition_variable changed;
    QObject* relay = nullptr;  // lives on the page's thread; null once the scanner is going away
    int inFlight = 0;          // deliveries between their check of `relay` and their return
    int dispatching = 0;       // notifications running on the page's thread right now (that thread only)
    ScanSink* sink = nullptr;  // touched on the page's thread only
};

struct ProbeSlot {
    std::thread thread;
    std::atomic<bool> done{false};
};

// One press of "IP Scan".
struct ScanRun {
    explicit ScanRun(const ScanOptions& o) : options(o) {}
    const ScanOptions options;
    StopSignal stop;
    std::atomic<int> live{0};  // threads of this scan that have not ended yet
    std::atomic<int> probed{0};  // hosts dealt with, for the page's progress
    std::thread scanThread;
    // The scan thread's alone while it runs; the owner's once it has been joined.
    std::vector<std::unique_ptr<ProbeSlot>> probes;
};

}  // namespace detail

namespace {

using detail::ProbeSlot;
using detail::ScanChannel;
using detail::ScanRun;

class ChannelReporter final : public ProbeReporter {
public:
    ChannelReporter(std::shared_ptr<ScanChannel> channel, std::shared_ptr<ScanRun> run)
        : channel_(std::move(channel)), run_(std::move(run)) {}

    void Result(FoundDisplay found) override { Deliver(WM_SCAN_RESULT, std::move(found)); }
    void Error() override { Deliver(WM_SCAN_ERROR, {}); }
    void Finished() override { Deliver(WM_SCAN_FINISHED, {}); }
    void Probed() override {
        run_->probed.fetch_add(1, std::memory_order_acq_rel);
        Deliver(WM_SCAN_PROGRESS, {});
    }

private:
    void Deliver(ScanMessage message, FoundDisplay found) {
        QObject* relay = nullptr;
        {
            std::lock_guard lock(channel_->mutex);
            if (!channel_->relay || run_->stop.Stopped()) return;
            relay = channel_->relay;
            ++channel_->inFlight;
        }
        auto notify = [channel = channel_, run = run_, message, found = std::move(found)] {
            // On the page's thread, where scans are cancelled: a cancelled scan says nothing more.
            if (run->stop.Stopped()) return;
            ++channel->dispatching;
            ScanSink& sink = *channel->sink;
            switch (message) {
                case WM_SCAN_RESULT: sink.OnScanResult(found); break;
                case WM_SCAN_ERROR: sink.OnScanError(); break;
                case WM_SCAN_FINISHED: sink.OnScanFinished(); break;
                case WM_SCAN_PROGRESS:
                    sink.OnScanProgress(run->probed.load(std::memory_order_acquire), HostCount(run->options));
                    break;
            }
            --channel->dispatching;
        };
        // The result and "finished" are sent (the probe waits for the page); the error and
        // the progress are posted.
        const bool posted = message == WM_SCAN_ERROR || message == WM_SCAN_PROGRESS;
        const auto type = posted ? Qt::QueuedConnection : Qt::BlockingQueuedConnection;
        QMetaObject::invokeMethod(relay, std::move(notify), type);
        {
            std::lock_guard lock(channel_->mutex);
            --channel_->inFlight;
        }
        channel_->changed.notify_all();
    }

    std::shared_ptr<ScanChannel> channel_;
    std::shared_ptr<ScanRun> run_;
};

void ProbeMain(std::shared_ptr<ScanChannel> channel, std::shared_ptr<ScanRun> run, ScanBackends backends,
               ScanRequest request, ProbeSlot* slot) {
    ChannelReporter reporter(channel, run);
    RunProbe(request, backends, run->options, run->stop, reporter);
    slot->done.store(true, std::memory_order_release);
    run->live.fetch_sub(1, std::memory_order_acq_rel);
}

// Joins the probes that have ended, so a long scan does not keep their stacks around.
void JoinEnded(std::vector<std::unique_ptr<ProbeSlot>>& probes) {
    std::erase_if(probes, [](const std::unique_ptr<ProbeSlot>& slot) {
        if (!slot->done.load(std::memory_order_acquire)) return false;
        slot->thread.join();
        return true;
    });
}

void ScanMain(std::shared_ptr<ScanChannel> channel, std::shared_ptr<ScanRun> run, ScanBackends backends,
              ScanRequest request) {
    const auto prefix = ScanPrefix(request.address);
    run->probes.reserve(static_cast<std::size_t>(HostCount(run->options)));
    // Probe N starts (N - 1) spacings after the press, on the monotonic clock, so the time
    // taken to start the threads does not add up over the 254 hosts.
    const auto started = std::chrono::steady_clock::now();
    const auto spacing = run->options.probeSpacing;
    const int first = run->options.firstHost;
    const int last = run->options.lastHost;
    for (int host = first; prefix && host <= last && !run->stop.Stopped(); ++host) {
        ScanRequest probe{*prefix + std::to_string(host), host};
        if (host == last) probe.finishAt = started + HostCount(run->options) * spacing + run->options.finishDelay;
        auto slot = std::make_unique<ProbeSlot>();
        run->live.fetch_add(1, std::memory_order_acq_rel);
        try {
            slot->thread = std::thread(ProbeMain, channel, run, backends, std::move(probe), slot.get());
            run->probes.push_back(std::move(slot));
        } catch (const std::system_error&) {
            // Out of threads: this host cannot be probed, which the page hears as an error.
            run->live.fetch_sub(1, std::memory_order_acq_rel);
            ChannelReporter reporter(channel, run);
            reporter.Error();
            reporter.Probed();
        }
        JoinEnded(run->probes);
        run->stop.SleepUntil(started + (host - first + 1) * spacing);
    }
    run->live.fetch_sub(1, std::memory_order_acq_rel);
}

void JoinAll(ScanRun& run) {
    if (run.scanThread.joinable()) run.scanThread.join();
    for (auto& slot : run.probes)
        if (slot->thread.joinable()) slot->thread.join();
    run.probes.clear();
}

}  // namespace

LanScanner::LanScanner(ScanSink& sink, ScanBackends backends, ScanOptions options)
    : sink_(sink),
      backends_(std::move(backends)),
      options_(options),
      relay_(std::make_unique<QObject>()),
      channel_(std::make_shared<ScanChannel>()) {
    channel_->relay = relay_.get();
    channel_->sink = &sink_;
}

LanScanner::~LanScanner() {
    Cancel();
    {
        // Probes caught in a sent notification wait for this very thread: run their calls
        // here (they see the stop and do nothing), then close the channel.
        std::unique_lock lock(channel_->mutex);
        while (channel_->inFlight > channel_->dispatching) {
            lock.unlock();
            QCoreApplication::sendPostedEvents(relay_.get(), QEvent::MetaCall);
            lock.lock();
            channel_->changed.wait_for(lock, std::chrono::milliseconds(5));
        }
        channel_->relay = nullptr;
    }
    if (channel_->dispatching == 0) {
        relay_.reset();
        for (auto& run : runs_) JoinAll(*run);
    } else {
        // Destroyed from inside a notification: the probe that sent it waits for the call
        // on our stack, so it cannot be joined here. A helper thread joins the scan's
        // threads once that call returns; every thread holds what it uses.
        relay_.release()->deleteLater();
        for (auto& run : runs_) {
            try {
                std::thread([run] { JoinAll(*run); }).detach();
            } catch (const std::system_error&) {
                new std::shared_ptr<ScanRun>(run);  // never freed: a leak rather than a crash
            }
        }
    }
}

bool LanScanner::Start(std::string_view localAddress) {
    Q_ASSERT(QThread::currentThread() == relay_->thread());
    if (!ScanPrefix(localAddress)) return false;
    Cancel();
    Reap();
    auto run = std::make_shared<ScanRun>(options_);
    run->live.store(1);
    runs_.push_back(run);
    try {
        run->scanThread = std::thread(ScanMain, channel_, run, backends_, ScanRequest{std::string(localAddress), 0});
    } catch (const std::system_error&) {
        runs_.pop_back();
        return false;
    }
    return true;
}

void LanScanner::Cancel() {
    for (auto& run : runs_) run->stop.Stop();
}

bool LanScanner::Busy() const {
    return std::any_of(runs_.begin(), runs_.end(), [](const auto& run) { return run->live.load() > 0; });
}

void LanScanner::Reap() {
    std::erase_if(runs_, [](const std::shared_ptr<ScanRun>& run) {
        if (run->live.load(std::memory_order_acquire) > 0) return false;
        JoinAll(*run);
        return true;
    });
}

}  // namespace dravik::discovery
