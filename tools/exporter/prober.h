// Runs probes: one display's reads (a module) through the flows' run API, on a bounded pool
// of worker threads. Fair and bounded: one probe at a time per display and per RS-232 line,
// in arrival order; at most `maxConcurrent` probes run at once; a display whose probe hangs
// holds only its own queue. A probe is answered at its deadline with what it has, whatever
// its exchange is still waiting for (the exchange itself is told to stop and ends on its own).
#pragma once

#include "exporter/exporter_config.h"
#include "exporter/probe_request.h"
#include "flows/row_result.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QThreadPool;

namespace dravik::discovery {
class StopSignal;
}

namespace dravik::exporter {

using SteadyClock = std::chrono::steady_clock;

struct ReadResult {
    Read read = Read::Temperature;
    bool ran = false;  // false: the probe's time ran out before this read
    flows::Outcome outcome = flows::Outcome::NoReply;
    flows::Decoded value;
    bool ok() const { return ran && flows::Succeeded(outcome); }
};

struct ProbeResult {
    std::vector<ReadResult> reads;  // in the module's order
    std::string model;              // given, or as the display reported it
    bool timedOut = false;          // answered at the deadline
    bool forbidden = false;         // a host name outside allowed_targets
    std::chrono::duration<double> duration{0};
    std::chrono::duration<double> queueWait{0};
    bool success() const;
    // "success", the first failed read's outcome name, or "timeout".
    std::string outcomeLabel() const;
};

struct ProbePlan {
    ProbeTarget target;
    Module module;
    std::string model;  // empty: read it
    Config config;      // the allow-list, as it was when the probe came
    SteadyClock::time_point deadline = SteadyClock::time_point::max();  // set by the prober
};

// Watches the prober; called from its threads.
class ProbeListener {
public:
    virtual ~ProbeListener() = default;
    virtual void started(std::chrono::duration<double> /*queueWait*/) {}
    virtual void answered(const ProbeResult& /*result*/) {}
    virtual void inFlight(int /*running*/) {}
};

// The probe on the calling thread (what a worker runs). `stop` ends its waits early; `publish`
// is told each read as it completes.
ProbeResult ExecuteProbe(const ProbePlan& plan, const discovery::StopSignal& stop,
                         const std::function<void(const ProbeResult&)>& publish);

class Prober {
public:
    using Done = std::function<void(const ProbeResult&)>;
    Prober(int maxConcurrent, ProbeListener* listener = nullptr);
    ~Prober();  // stops running probes and waits for them
    Prober(const Prober&) = delete;
    Prober& operator=(const Prober&) = delete;

    // `done` is called exactly once, on a prober thread: when the probe ends, or at
    // `deadline` with what it has.
    void submit(ProbePlan plan, SteadyClock::time_point deadline, Done done);

    int running() const;
    int queued() const;

private:
    struct Job;
    void dispatchLocked();
    void finish(const std::shared_ptr<Job>& job);
    void watch();

    const int max_;
    ProbeListener* listener_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::deque<std::shared_ptr<Job>>> byKey_;
    std::deque<std::string> ready_;  // keys whose head job may start, in arrival order
    std::vector<std::shared_ptr<Job>> live_;  // queued or running, for the deadline watch
    int running_ = 0;
    int queued_ = 0;
    bool closing_ = false;
    std::unique_ptr<QThreadPool> pool_;
    std::thread watcher_;
};

}  // namespace dravik::exporter
