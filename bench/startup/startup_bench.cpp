// dravik-startup-bench [--runs N]: starts the tool and a bare Qt window in turn, N times each
// (default 9), each in a fresh empty directory with the first-paint probe preloaded, and
// prints the median time from the start of the process to its first paint and the median
// peak resident memory at that moment, side by side, with the tool's ratio to the bare
// window. Offscreen unless QT_QPA_PLATFORM is set.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Sample {
    double ms = -1;
    long kb = -1;
};

// One start of `program`; ms < 0 when it never painted within 30 s.
Sample RunOnce(const char* program) {
    char dir[] = "/tmp/dravik-startup-XXXXXX";
    if (!::mkdtemp(dir)) return {};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::dup(fds[1]);  // without O_CLOEXEC: kept across exec
        if (out < 0 || ::chdir(dir) != 0) ::_exit(127);
        ::setenv("DRAVIK_STARTUP_FD", std::to_string(out).c_str(), 1);
        ::setenv("LD_PRELOAD", DRAVIK_STARTUP_PROBE, 1);
        ::setenv("QT_QPA_PLATFORM", std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen", 1);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 2);
        ::execl(program, program, static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    Sample s;
    if (pid > 0) {
        pollfd p{fds[0], POLLIN, 0};
        char line[64] = {};
        if (::poll(&p, 1, 30000) == 1) {
            const ssize_t n = ::read(fds[0], line, sizeof line - 1);
            const auto painted = std::chrono::steady_clock::now();
            if (n > 0 && std::strncmp(line, "PAINTED ", 8) == 0) {
                s.ms = std::chrono::duration<double, std::milli>(painted - started).count();
                s.kb = std::strtol(line + 8, nullptr, 10);
            }
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(fds[0]);
    // The tool may have written nothing; the directory is empty or holds only its own files.
    std::string cleanup = std::string("rm -rf '") + dir + "'";
    (void)!std::system(cleanup.c_str());
    return s;
}

template <typename T>
T Median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 9;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: dravik-startup-bench [--runs N]\n");
            return 64;
        }
    }
    std::vector<double> toolMs, bareMs;
    std::vector<long> toolKb, bareKb;
    for (int i = 0; i < runs; ++i) {
        // Alternating, so a slow phase of the machine hits both alike.
        for (const bool tool : {i % 2 == 0, i % 2 != 0}) {
            const Sample s = RunOnce(tool ? DRAVIK_STARTUP_TOOL : DRAVIK_STARTUP_BARE);
            if (s.ms < 0) {
                std::fprintf(stderr, "dravik-startup-bench: %s did not paint within 30 s\n",
                             tool ? DRAVIK_STARTUP_TOOL : DRAVIK_STARTUP_BARE);
                return 1;
            }
            (tool ? toolMs : bareMs).push_back(s.ms);
            (tool ? toolKb : bareKb).push_back(s.kb);
        }
    }
    const char* platform = std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen";
    const double tMs = Median(toolMs), bMs = Median(bareMs);
    const long tKb = Median(toolKb), bKb = Median(bareKb);
    std::printf("start-up to first paint, %d alternating runs each, platform %s (medians)\n", runs, platform);
    std::printf("                        tool   bare QWidget   ratio   goal\n");
    std::printf("  first paint       %8.1f ms  %8.1f ms   %5.2fx  <= 1.20x\n", tMs, bMs, tMs / bMs);
    std::printf("  peak memory (HWM) %8ld KiB %8ld KiB  %5.2fx  <= 1.20x\n", tKb, bKb,
                static_cast<double>(tKb) / static_cast<double>(bKb));
    return 0;
}
