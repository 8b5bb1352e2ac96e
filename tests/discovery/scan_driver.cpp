// dravik-scan-driver: runs one LAN scan with the system backends and prints what the page
// would hear, for the namespace test and the benchmark. It refuses to run in the
// machine's network: only inside a namespace a test has made (named dravik-...).
//
//   dravik-scan-driver --local ADDRESS [--icmp auto|raw|ping] [--identity-timeout MS]
//                      [--last-id N] [--linger MS] [--deadline S]
//   dravik-scan-driver --presence ADDRESS [--icmp ...] [--echo-timeout MS]
//
// Output: "RESULT<TAB>address<TAB>model<TAB>id", "ERROR", "FINISHED", then
// "STATS elapsed_ms=N shutdown_ms=N peak_threads=N peak_rss_kb=N" (press to "finished",
// closing the scanner, most threads seen, peak resident memory). Exit 0 after FINISHED, 2 at the
// deadline, 3 when every probe failed, 4 when refused, 64 on a usage error.
#include "discovery/lan_scanner.h"
#include "discovery/linux_presence.h"
#include "discovery/tcp_identity.h"

#include <QCoreApplication>
#include <QTimer>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace dravik::discovery;

namespace {

// True inside a namespace that `ip netns add dravik-...` made (a test's), found the way
// `ip netns identify` finds it: by the namespace files bound under /run/netns.
bool InTestNetworkNamespace() {
    struct stat self {};
    if (::stat("/proc/self/ns/net", &self) != 0) return false;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", ec)) {
        struct stat named {};
        if (entry.path().filename().string().rfind("dravik-", 0) == 0 && ::stat(entry.path().c_str(), &named) == 0 &&
            named.st_ino == self.st_ino && named.st_dev == self.st_dev)
            return true;
    }
    return false;
}

long StatusField(const char* name) {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == name) {
            long value = 0;
            in >> value;
            return value;
        }
        in.ignore(1 << 12, '\n');
    }
    return 0;
}

struct PrintingSink final : ScanSink {
    int errors = 0;
    std::function<void()> onFinished;
    std::function<void()> onError;
    void OnScanResult(FoundDisplay f) override {
        std::printf("RESULT\t%s\t%s\t%d\n", f.address.c_str(), f.model.c_str(), f.monitorId);
        std::fflush(stdout);
    }
    void OnScanError() override {
        ++errors;
        std::printf("ERROR\n");
        std::fflush(stdout);
        if (onError) onError();
    }
    void OnScanFinished() override {
        std::printf("FINISHED\n");
        std::fflush(stdout);
        if (onFinished) onFinished();
    }
};

int Usage() {
    std::fprintf(stderr,
                 "usage: dravik-scan-driver --local ADDRESS [--icmp auto|raw|ping] [--identity-timeout MS]\n"
                 "                          [--last-id N] [--linger MS] [--deadline S]\n"
                 "       dravik-scan-driver --presence ADDRESS [--icmp auto|raw|ping] [--echo-timeout MS]\n");
    return 64;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string local, presence;
    IcmpSocketKind kind = IcmpSocketKind::Auto;
    ScanOptions options;
    int lingerMs = 0;
    int deadlineS = 600;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--local") local = value;
        else if (arg == "--presence") presence = value;
        else if (arg == "--icmp") {
            if (value == "raw") kind = IcmpSocketKind::Raw;
            else if (value == "ping") kind = IcmpSocketKind::Ping;
            else if (value != "auto") return Usage();
        } else if (arg == "--identity-timeout") options.identityTimeout = std::chrono::milliseconds(std::stoi(value));
        else if (arg == "--echo-timeout") options.echoTimeout = std::chrono::milliseconds(std::stoi(value));
        else if (arg == "--last-id") options.lastMonitorId = std::stoi(value);
        else if (arg == "--linger") lingerMs = std::stoi(value);
        else if (arg == "--deadline") deadlineS = std::stoi(value);
        else return Usage();
    }
    if (local.empty() == presence.empty()) return Usage();
    if (!InTestNetworkNamespace()) {
        std::fprintf(stderr, "dravik-scan-driver: refusing to run outside a test's network namespace; "
                             "run it with 'ip netns exec dravik-...'\n");
        return 4;
    }

    if (!presence.empty()) {
        LinuxPresenceProbe probe(kind);
        const Presence p = probe.Test(presence, options.echoTimeout, StopSignal{});
        const char* names[] = {"ABSENT", "PRESENT", "ERROR", "STOPPED"};
        std::printf("%s\n", names[static_cast<int>(p)]);
        return 0;
    }

    long peakThreads = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { peakThreads = std::max(peakThreads, StatusField("Threads:")); });
    sampler.start(20);

    PrintingSink sink;
    int exitCode = 2;
    const auto started = std::chrono::steady_clock::now();
    long elapsedMs = 0;
    auto closing = started;
    {
        LanScanner scanner(sink, {std::make_shared<LinuxPresenceProbe>(kind), std::make_shared<TcpIdentityClient>()},
                           options);
        sink.onFinished = [&] {
            elapsedMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - started)
                                              .count());
            exitCode = 0;
            QTimer::singleShot(lingerMs, &app, &QCoreApplication::quit);
        };
        sink.onError = [&] {
            if (sink.errors == kLastHost) {
                exitCode = 3;
                QTimer::singleShot(0, &app, &QCoreApplication::quit);
            }
        };
        QTimer::singleShot(deadlineS * 1000, &app, [&] {
            std::printf("DEADLINE\n");
            QCoreApplication::quit();
        });
        if (!scanner.Start(local)) return Usage();
        app.exec();
        peakThreads = std::max(peakThreads, StatusField("Threads:"));
        closing = std::chrono::steady_clock::now();
    }  // the scanner cancels and joins whatever still runs
    const auto shutdownMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - closing);
    std::printf("STATS elapsed_ms=%ld shutdown_ms=%ld peak_threads=%ld peak_rss_kb=%ld\n", elapsedMs,
                static_cast<long>(shutdownMs.count()), peakThreads, StatusField("VmHWM:"));
    return exitCode;
}
