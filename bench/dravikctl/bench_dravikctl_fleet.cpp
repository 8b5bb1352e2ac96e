// A fleet of 1,024 simulated LAN displays that answer 200 ms late, each queried for its
// temperature by "dravikctl query temperature --parallel P" for P = 16, 64 and 256. Prints
// the time against the ideal: ceil(1024 / P) rounds of the time one display takes alone.
// The displays listen on 127.0.56.1-254 .. 127.0.59.1-254 and 127.0.55.201-208, port 5000.
//
//   bench_dravikctl_fleet [DISPLAYS]   (default 1024)
#include "display-sim/lan_display.h"
#include "dravikctl/dravikctl.h"
#include "dravikctl/runner.h"

#include <QCoreApplication>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kLateMs = 200;

std::string Address(int i) {
    if (i < 4 * 254) return "127.0.5" + std::to_string(6 + i / 254) + "." + std::to_string(i % 254 + 1);
    return "127.0.55." + std::to_string(201 + (i - 4 * 254));
}

double Run(const std::vector<std::string>& args, int& status, std::string& out) {
    std::ostringstream o, e;
    const auto start = std::chrono::steady_clock::now();
    status = dravik::ctl::Main(args, o, e);
    const auto stop = std::chrono::steady_clock::now();
    out = o.str() + e.str();
    return std::chrono::duration<double>(stop - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int count = 1024;
    if (argc > 1) {
        const std::string_view s = argv[1];
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), count);
        if (ec != std::errc() || end != s.data() + s.size() || count < 1 || count > 1024) {
            std::fprintf(stderr, "bench: DISPLAYS must be 1..1024\n");
            return 2;
        }
    }

    std::vector<std::unique_ptr<dravik::sim::LanDisplay>> displays;
    std::vector<std::string> targets;
    for (int i = 0; i < count; ++i) {
        dravik::sim::DisplayConfig config;
        config.model = "KA-55Q";
        config.fault = dravik::sim::Fault::AnswerLate;
        config.lateMs = kLateMs;
        displays.push_back(std::make_unique<dravik::sim::LanDisplay>(Address(i), config));
        std::string error;
        if (!displays.back()->start(&error)) {
            std::fprintf(stderr, "bench: %s: %s\n", Address(i).c_str(), error.c_str());
            return 1;
        }
        targets.insert(targets.end(), {"--ip", Address(i)});
    }

    const std::vector<std::string> head{"query", "temperature", "--model", "KA-55Q", "--format", "csv"};
    int status = 0;
    std::string out;
    std::vector<std::string> one = head;
    one.insert(one.end(), {"--ip", Address(0)});
    // The best of three: one display's time is the unit of the ideal.
    double single = 1e9;
    for (int k = 0; k < 3; ++k) single = std::min(single, Run(one, status, out));
    std::printf("dravikctl query temperature, %d simulated displays answering %d ms late\n", count, kLateMs);
    std::printf("  one display alone     %8.3f s   exit %d\n", single, status);

    bool failed = status != 0;
    for (int parallel : {16, 64, 256}) {
        std::string message;
        const int affordable = dravik::ctl::AffordableParallel(parallel, &message);
        if (affordable < parallel) std::printf("  note: %s\n", message.c_str());
        std::vector<std::string> args = head;
        args.insert(args.end(), {"--parallel", std::to_string(parallel)});
        args.insert(args.end(), targets.begin(), targets.end());
        const double t = Run(args, status, out);
        const double rounds = std::ceil(static_cast<double>(count) / affordable);
        const double ratio = t / (rounds * single);
        std::size_t replied = 0;
        for (std::size_t at = out.find(",replied,"); at != std::string::npos; at = out.find(",replied,", at + 1)) ++replied;
        std::printf("  --parallel %-3d        %8.3f s   ideal %6.3f s (%3.0f rounds)   ratio %5.2f   replied %zu/%d   exit %d\n",
                    parallel, t, rounds * single, rounds, ratio, replied, count, status);
        failed = failed || status != 0 || replied != static_cast<std::size_t>(count);
    }
    return failed ? 1 : 0;
}
