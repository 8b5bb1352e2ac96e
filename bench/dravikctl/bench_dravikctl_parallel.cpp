// Whole-flow timing: "dravikctl send on" to a fleet of simulated LAN displays, one display
// after the other (as the window does it) and with --parallel. Prints both times and their
// ratio. The displays listen on 127.0.9.1 .. 127.0.9.N, port 5000.
//
//   bench_dravikctl_parallel [DISPLAYS [PARALLEL]]   (defaults 64 and 16)
#include "bench_args.h"
#include "display-sim/lan_display.h"
#include "dravikctl/dravikctl.h"

#include <QCoreApplication>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using dravik::bench::Arg;

double Seconds(const std::vector<std::string>& args, int& status) {
    std::ostringstream out, err;
    const auto start = std::chrono::steady_clock::now();
    status = dravik::ctl::Main(args, out, err);
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double>(stop - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = Arg(argc, argv, 1, 64, 1, 250);
    const int parallel = Arg(argc, argv, 2, 16, 1, 256);

    std::vector<std::unique_ptr<dravik::sim::LanDisplay>> displays;
    std::vector<std::string> targets;
    for (int i = 1; i <= count; ++i) {
        const std::string address = "127.0.9." + std::to_string(i);
        dravik::sim::DisplayConfig config;
        config.model = "KA-55Q";
        config.monitorId = i % 25 + 1;
        displays.push_back(std::make_unique<dravik::sim::LanDisplay>(address, config));
        std::string error;
        if (!displays.back()->start(&error)) {
            std::fprintf(stderr, "bench: %s: %s\n", address.c_str(), error.c_str());
            return 1;
        }
        targets.insert(targets.end(), {"--ip", address, "--model", "KA-55Q", "--id", std::to_string(config.monitorId)});
    }

    std::vector<std::string> sequential{"send", "on"};
    sequential.insert(sequential.end(), targets.begin(), targets.end());
    std::vector<std::string> concurrent{"send", "on", "--parallel", std::to_string(parallel)};
    concurrent.insert(concurrent.end(), targets.begin(), targets.end());

    int seqStatus = -1, parStatus = -1;
    const double seq = Seconds(sequential, seqStatus);
    const double par = Seconds(concurrent, parStatus);

    // Every display must have had its frame in each run, or the times mean nothing.
    int missing = 0;
    for (const auto& d : displays) missing += d->log().size() == 2 ? 0 : 1;

    std::printf("dravikctl send on, %d simulated LAN displays (127.0.9.1-%d)\n", count, count);
    std::printf("  one after the other   %8.2f s   exit %d\n", seq, seqStatus);
    std::printf("  --parallel %-3d        %8.2f s   exit %d\n", parallel, par, parStatus);
    std::printf("  ratio                 %8.1f\n", par > 0 ? seq / par : 0.0);
    if (missing > 0 || seqStatus != 0 || parStatus != 0) {
        std::printf("  %d displays did not get exactly one frame per run\n", missing);
        return 1;
    }
    return 0;
}
