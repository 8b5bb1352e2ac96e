// dravik-exporter under load, side by side in one run (the exporter is the built binary on
// 127.0.94.250; displays on 127.0.95.x .. 127.0.98.x and 127.0.94.1):
//   1. one probe against one dravikctl query of the same display (medians, ratio);
//   2. DISPLAYS displays answering 200 ms late, probed by 64 and by 256 scrapes at once for
//      SECONDS each: probes per second against the ideal (scrapes / 0.2 s), CPU seconds per
//      1,000 probes and resident memory of the exporter;
//   3. the exporter's descriptors and threads before and after PROBES probes.
//
//   bench_exporter [SECONDS [DISPLAYS [PROBES]]]   (defaults 5, 1000, 2000; a full check of
//   descriptors and threads uses 10000 probes)
#include "bench_args.h"
#include "exporter_helpers.h"

#include "display-sim/lan_display.h"
#include "dravikctl/dravikctl.h"
#include "exporter/probe_metrics.h"

#include <QCoreApplication>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

using namespace dravik;
using exporter::testing::ExporterProcess;
using exporter::testing::HttpGet;

namespace {

constexpr const char* kExporter = "127.0.94.250";
constexpr std::uint16_t kPort = 9734;

using dravik::bench::Arg;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::string DisplayAddress(int i) { return "127.0.9" + std::to_string(5 + i / 250) + "." + std::to_string(1 + i % 250); }

std::string ProbePath(const std::string& address) { return "/probe?target=" + address + "&module=temp&model=LM-55"; }

// `scrapes` clients probing displays round-robin for `seconds`; returns the probes done.
long Load(int scrapes, int displays, double seconds, long limit = -1) {
    std::atomic<long> next{0}, done{0};
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> clients;
    for (int c = 0; c < scrapes; ++c) {
        clients.emplace_back([&] {
            for (;;) {
                const long k = next++;
                if ((limit >= 0 && k >= limit) || (limit < 0 && std::chrono::steady_clock::now() >= until)) break;
                const auto r = HttpGet(kExporter, kPort, ProbePath(DisplayAddress(static_cast<int>(k % displays))),
                                       {{"X-Prometheus-Scrape-Timeout-Seconds", "10"}});
                if (r.status == 200 && r.body.find("dravik_probe_success 1") != std::string::npos) ++done;
            }
        });
    }
    for (auto& t : clients) t.join();
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = Arg(argc, argv, 1, 5, 1, 600);
    const int displays = Arg(argc, argv, 2, 1000, 1, 1000);
    const int probes = Arg(argc, argv, 3, 2000, 1, 1000000);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);

    const QString config = QStringLiteral("/tmp/bench-exporter-%1.yml").arg(::getpid());
    {
        std::ofstream(config.toStdString()) << "modules:\n  temp:\n    reads: [temperature]\n";
    }
    ExporterProcess exporterProcess(kExporter, kPort, {"--config.file=" + config, "--probe.max-concurrent=256"});
    if (!exporterProcess.up()) {
        std::fprintf(stderr, "bench: the exporter did not start\n");
        return 1;
    }
    const int pid = static_cast<int>(exporterProcess.process().processId());

    // 1. One probe against one dravikctl query of the same display.
    {
        sim::DisplayConfig config;
        config.model = "LM-55";
        sim::LanDisplay display("127.0.94.1", config);
        display.start();
        const std::vector<std::string> args{"query", "temperature", "--ip", "127.0.94.1", "--model", "LM-55"};
        std::vector<double> probe, query;
        for (int i = 0; i < 41; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            HttpGet(kExporter, kPort, ProbePath("127.0.94.1"));
            auto t1 = std::chrono::steady_clock::now();
            std::ostringstream out, err;
            ctl::Main(args, out, err);
            auto t2 = std::chrono::steady_clock::now();
            probe.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            query.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        }
        const double p = Median(probe), q = Median(query);
        std::printf("one display: probe %.2f ms, dravikctl query %.2f ms (in-process), ratio %.3f (goal <= 1.05 + 5 ms: %s)\n",
                    p, q, p / q, p <= 1.05 * q + 5 ? "met" : "missed");
    }

    // 2. A fleet answering 200 ms late.
    std::vector<std::unique_ptr<sim::LanDisplay>> fleet;
    for (int i = 0; i < displays; ++i) {
        sim::DisplayConfig config;
        config.model = "LM-55";
        config.fault = sim::Fault::AnswerLate;
        config.lateMs = 200;
        fleet.push_back(std::make_unique<sim::LanDisplay>(DisplayAddress(i), config));
        if (!fleet.back()->start()) {
            std::fprintf(stderr, "bench: %s did not start\n", DisplayAddress(i).c_str());
            return 1;
        }
    }
    std::printf("%d displays answering 200 ms late, %d s per run, --probe.max-concurrent=256\n", displays, seconds);
    std::printf("%8s %10s %10s %8s %16s %12s\n", "scrapes", "probes/s", "ideal", "ratio", "CPU s/1000", "RSS MiB");
    for (int scrapes : {64, 256}) {
        const auto before = exporter::ReadProcessFigures(pid);
        const auto t0 = std::chrono::steady_clock::now();
        const long done = Load(scrapes, displays, seconds);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const auto after = exporter::ReadProcessFigures(pid);
        const double rate = done / elapsed;
        const double ideal = scrapes / 0.2;
        std::printf("%8d %10.1f %10.1f %8.3f %16.3f %12.1f\n", scrapes, rate, ideal, rate / ideal,
                    done ? (after.cpuSeconds - before.cpuSeconds) * 1000.0 / done : 0.0, after.residentBytes / (1 << 20));
    }
    fleet.clear();

    // 3. Descriptors and threads around many probes (displays answering at once).
    {
        std::vector<std::unique_ptr<sim::LanDisplay>> quick;
        for (int i = 0; i < 64; ++i) {
            sim::DisplayConfig config;
            config.model = "LM-55";
            quick.push_back(std::make_unique<sim::LanDisplay>(DisplayAddress(i), config));
            quick.back()->start();
        }
        // The pool's idle workers end 2 s after their last probe.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const auto start = exporter::ReadProcessFigures(pid);
        const long done = Load(64, 64, 0, probes);
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const auto end = exporter::ReadProcessFigures(pid);
        std::printf("%d probes (%ld answered): descriptors %d -> %d, threads %d -> %d (goal: back to the start figures: %s)\n",
                    probes, done, start.openFds, end.openFds, start.threads, end.threads,
                    start.openFds == end.openFds && start.threads == end.threads ? "met" : "missed");
    }
    std::remove(config.toStdString().c_str());
    return 0;
}
