#include "exporter/probe_metrics.h"

#include "flows/metric_names.h"

#include <prometheus/text_serializer.h>

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace dravik::exporter {

namespace fm = flows::metrics;
using prometheus::BuildCounter;
using prometheus::BuildGauge;
using prometheus::BuildHistogram;

namespace {

prometheus::Gauge& One(prometheus::Registry& r, const char* name, const char* help, const prometheus::Labels& labels = {}) {
    return BuildGauge().Name(name).Help(help).Register(r).Add(labels);
}

int CountEntries(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    int n = 0;
    while (const dirent* e = ::readdir(d))
        if (e->d_name[0] != '.') ++n;
    ::closedir(d);
    return n;
}

}  // namespace

std::string ProbeText(const ProbeResult& result) {
    prometheus::Registry r;
    One(r, fm::kProbeSuccess, "Whether every read of the probe succeeded.").Set(result.success() ? 1 : 0);
    One(r, fm::kProbeDuration, "How long the probe took.").Set(result.duration.count());
    if (!result.model.empty())
        One(r, fm::kDisplayInfo, "The display's model, as given or as it reported it.", {{"model", result.model}}).Set(1);
    auto& temperature = BuildGauge().Name(fm::kTemperature).Help("The display's temperature.").Register(r);
    auto& operating = BuildGauge().Name(fm::kOperatingTime).Help("The display's operating time (it counts whole hours).").Register(r);
    auto& backlight = BuildGauge().Name(fm::kBacklight).Help("The display's backlight level.").Register(r);
    auto& video = BuildGauge().Name(fm::kVideoParameter).Help("The display's video parameters 2..7 as it sends them.").Register(r);
    auto& success = BuildGauge().Name(fm::kReadSuccess).Help("Whether the read succeeded.").Register(r);
    auto& outcome = BuildGauge().Name(fm::kReadOutcome).Help("The typed outcome of a failed read.").Register(r);
    for (const ReadResult& read : result.reads) {
        const std::string name(ReadName(read.read));
        success.Add({{"read", name}}).Set(read.ok() ? 1 : 0);
        if (read.ran && !read.ok())
            outcome.Add({{"read", name}, {"outcome", std::string(flows::OutcomeName(read.outcome))}}).Set(1);
        if (!read.ok()) continue;
        const flows::Decoded& v = read.value;
        if (read.read == Read::Temperature && v.temperature) temperature.Add({}).Set(*v.temperature);
        if (read.read == Read::OperatingTime && v.hours) operating.Add({}).Set(*v.hours * 3600.0);
        if ((read.read == Read::Backlight || read.read == Read::Video) && v.backlight) backlight.Add({}).Set(*v.backlight);
        if ((read.read == Read::Backlight || read.read == Read::Video) && v.video) {
            for (std::size_t i = 0; i < v.video->size(); ++i)
                video.Add({{"parameter", std::to_string(i + 2)}}).Set((*v.video)[i]);
        }
    }
    return prometheus::TextSerializer().Serialize(r.Collect());
}

ProcessFigures ReadProcessFigures(int pid) {
    ProcessFigures f;
    const std::string base = pid > 0 ? "/proc/" + std::to_string(pid) : std::string("/proc/self");
    std::ifstream statFile(base + "/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold blanks and parentheses.
    const auto close = stat.rfind(')');
    if (close != std::string::npos) {
        std::istringstream in(stat.substr(close + 2));
        std::vector<std::string> fields;
        for (std::string s; in >> s;) fields.push_back(s);
        // fields[0] is field 3 (state): utime 14, stime 15, threads 20, starttime 22, vsize 23, rss 24.
        const auto at = [&](int field) { return static_cast<std::size_t>(field - 3); };
        if (fields.size() > at(24)) {
            const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
            f.cpuSeconds = (std::stod(fields[at(14)]) + std::stod(fields[at(15)])) / tick;
            f.threads = std::stoi(fields[at(20)]);
            f.virtualBytes = std::stod(fields[at(23)]);
            f.residentBytes = std::stod(fields[at(24)]) * static_cast<double>(::sysconf(_SC_PAGESIZE));
            std::ifstream uptimeFile("/proc/uptime");
            double uptime = 0;
            uptimeFile >> uptime;
            const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
            f.startTime = now - uptime + std::stod(fields[at(22)]) / tick;
        }
    }
    f.openFds = CountEntries(base + "/fd");
    return f;
}

ExporterMetrics::ExporterMetrics(const std::string& version)
    : registry_(std::make_shared<prometheus::Registry>()),
      probes_(BuildCounter().Name("dravik_exporter_probes_total").Help("Probes answered, by outcome.").Register(*registry_)),
      refused_(BuildCounter().Name("dravik_exporter_requests_refused_total").Help("Probe requests refused before a probe, by reason.").Register(*registry_)),
      duration_(BuildHistogram().Name("dravik_exporter_probe_duration_seconds").Help("How long probes took.").Register(*registry_)
                    .Add({}, prometheus::Histogram::BucketBoundaries{0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30})),
      queueWait_(BuildHistogram().Name("dravik_exporter_probe_queue_wait_seconds").Help("How long probes waited for their display, line or a free worker.").Register(*registry_)
                     .Add({}, prometheus::Histogram::BucketBoundaries{0.001, 0.01, 0.05, 0.1, 0.5, 1, 5, 10})),
      inFlight_(One(*registry_, "dravik_exporter_probes_in_flight", "Probes running now.")),
      reloadOk_(One(*registry_, "dravik_exporter_config_last_reload_successful", "Whether the last configuration load succeeded.")),
      reloadTime_(One(*registry_, "dravik_exporter_config_last_reload_success_timestamp_seconds", "When the configuration was last loaded.")),
      cpu_(BuildCounter().Name("process_cpu_seconds_total").Help("Total user and system CPU time spent in seconds.").Register(*registry_).Add({})),
      rss_(One(*registry_, "process_resident_memory_bytes", "Resident memory size in bytes.")),
      vsize_(One(*registry_, "process_virtual_memory_bytes", "Virtual memory size in bytes.")),
      fds_(One(*registry_, "process_open_fds", "Number of open file descriptors.")),
      maxFds_(One(*registry_, "process_max_fds", "Maximum number of open file descriptors.")),
      threads_(One(*registry_, "dravik_exporter_threads", "Threads of the exporter process.")),
      startTime_(One(*registry_, "process_start_time_seconds", "Start time of the process since unix epoch in seconds.")) {
    One(*registry_, "dravik_exporter_build_info", "The exporter's version.", {{"version", version}}).Set(1);
    for (const char* o : {"success", "timeout"}) probes_.Add({{"outcome", o}});
}

void ExporterMetrics::started(std::chrono::duration<double> queueWait) { queueWait_.Observe(queueWait.count()); }

void ExporterMetrics::answered(const ProbeResult& result) {
    probes_.Add({{"outcome", result.outcomeLabel()}}).Increment();
    duration_.Observe(result.duration.count());
}

void ExporterMetrics::inFlight(int running) { inFlight_.Set(running); }

void ExporterMetrics::reloaded(bool ok) {
    reloadOk_.Set(ok ? 1 : 0);
    if (ok) reloadTime_.SetToCurrentTime();
}

void ExporterMetrics::refused(const std::string& reason) { refused_.Add({{"reason", reason}}).Increment(); }

std::string ExporterMetrics::text() {
    const ProcessFigures f = ReadProcessFigures();
    {
        std::lock_guard lock(mutex_);
        if (f.cpuSeconds > cpuSeen_) {
            cpu_.Increment(f.cpuSeconds - cpuSeen_);
            cpuSeen_ = f.cpuSeconds;
        }
    }
    rss_.Set(f.residentBytes);
    vsize_.Set(f.virtualBytes);
    fds_.Set(f.openFds);
    threads_.Set(f.threads);
    startTime_.Set(f.startTime);
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) maxFds_.Set(static_cast<double>(limit.rlim_cur));
    return prometheus::TextSerializer().Serialize(registry_->Collect());
}

}  // namespace dravik::exporter
