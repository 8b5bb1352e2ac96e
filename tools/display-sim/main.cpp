// dravik-display-sim: simulated displays for demos, tests and trying the tool without hardware.
#include "display-sim/command_line.h"
#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>
#include <pthread.h>

#if __has_include("dravik_version.h")
#include "dravik_version.h"
#define DRAVIK_SIM_VERSION DRAVIK_VERSION
#else
#define DRAVIK_SIM_VERSION DRAVIK_PROJECT_VERSION
#endif

using namespace dravik::sim;

namespace {

std::mutex outputMutex;

void Print(const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Describe(const DisplayConfig& c) {
    std::string s = c.model + " ID " + std::to_string(c.monitorId);
    if (c.fault != Fault::None) {
        s += " fault ";
        s += FaultName(c.fault);
        if (c.fault == Fault::AnswerLate) s.append(":").append(std::to_string(c.lateMs));
    }
    return s;
}

// " random faults, seed N" for a display whose faults are drawn.
std::string RandomNote(const DisplayConfig& c) {
    return c.random.enabled ? " random faults, seed " + std::to_string(c.random.seed) : std::string();
}

void Apply(Display& display, const DisplaySetup& setup) {
    if (setup.temperature) display.setTemperature(*setup.temperature);
    if (setup.hours) display.setHours(*setup.hours);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    CommandLine cl;
    std::string error;
    if (!ParseCommandLine(args, cl, error)) {
        std::fprintf(stderr, "dravik-display-sim: %s\n", error.c_str());
        return 2;
    }
    if (cl.help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (cl.version) {
        std::puts("dravik-display-sim " DRAVIK_SIM_VERSION);
        return 0;
    }

    // Block the stop signals before any thread starts, so that every thread inherits the
    // mask and sigwait() below is the only place that sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const auto printFrame = [](const LogEntry& e) { Print(FormatLogEntry(e)); };

    std::vector<std::unique_ptr<LanDisplay>> lans;
    for (const auto& entry : cl.lan) {
        auto d = std::make_unique<LanDisplay>(entry.address, entry.display.config, entry.port);
        d->setAllowAnyAddress(cl.allowAnyAddress);
        Apply(d->display(), entry.display);
        if (cl.logFrames) d->setLogListener(printFrame);
        if (!d->start(&error)) {
            std::fprintf(stderr, "dravik-display-sim: %s\n", error.c_str());
            return 1;
        }
        if (!cl.quiet) Print("lan: " + d->endpoint() + " " + Describe(entry.display.config) + RandomNote(entry.display.config));
        lans.push_back(std::move(d));
    }

    std::vector<std::unique_ptr<SerialLine>> lines;
    for (const auto& entry : cl.serial) {
        std::vector<DisplayConfig> configs;
        for (const auto& s : entry.displays) configs.push_back(s.config);
        auto line = std::make_unique<SerialLine>(configs);
        for (std::size_t i = 0; i < entry.displays.size(); ++i) Apply(line->displayAt(i), entry.displays[i]);
        if (cl.logFrames) line->setLogListener(printFrame);
        if (!line->start(&error)) {
            std::fprintf(stderr, "dravik-display-sim: %s\n", error.c_str());
            return 1;
        }
        Print("serial: " + line->devicePath());
        if (!cl.quiet) {
            for (const auto& s : entry.displays) Print("  on " + line->devicePath() + ": " + Describe(s.config) + RandomNote(s.config));
        }
        lines.push_back(std::move(line));
    }

    int signal = 0;
    sigwait(&stopSignals, &signal);
    for (auto& d : lans) d->stop();
    for (auto& l : lines) l->stop();
    if (!cl.quiet) Print("stopped");
    return 0;
}
