// A probe's answer as Prometheus text, and the exporter's own metrics for /metrics; both
// through prometheus-cpp's registry and serializer. The series names are listed in the README.
#pragma once

#include "exporter/prober.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

#include <memory>
#include <mutex>
#include <string>

namespace dravik::exporter {

std::string ProbeText(const ProbeResult& result);

// Probes by outcome, probe durations, queue waits, probes in flight, the last reload, and
// the process's own figures (CPU, memory, descriptors, threads, start time).
class ExporterMetrics final : public ProbeListener {
public:
    explicit ExporterMetrics(const std::string& version);
    void started(std::chrono::duration<double> queueWait) override;
    void answered(const ProbeResult& result) override;
    void inFlight(int running) override;
    void reloaded(bool ok);
    // A request refused before any probe (400, 403): counted by reason.
    void refused(const std::string& reason);
    std::string text();

private:
    std::shared_ptr<prometheus::Registry> registry_;
    prometheus::Family<prometheus::Counter>& probes_;
    prometheus::Family<prometheus::Counter>& refused_;
    prometheus::Histogram& duration_;
    prometheus::Histogram& queueWait_;
    prometheus::Gauge& inFlight_;
    prometheus::Gauge& reloadOk_;
    prometheus::Gauge& reloadTime_;
    prometheus::Counter& cpu_;
    prometheus::Gauge& rss_;
    prometheus::Gauge& vsize_;
    prometheus::Gauge& fds_;
    prometheus::Gauge& maxFds_;
    prometheus::Gauge& threads_;
    prometheus::Gauge& startTime_;
    std::mutex mutex_;
    double cpuSeen_ = 0;
};

// What /proc says of this process (for /metrics and the bench).
struct ProcessFigures {
    double cpuSeconds = 0;
    double residentBytes = 0;
    double virtualBytes = 0;
    int openFds = 0;
    int threads = 0;
    double startTime = 0;  // seconds since the epoch
};
ProcessFigures ReadProcessFigures(int pid = 0);  // 0: this process

}  // namespace dravik::exporter
