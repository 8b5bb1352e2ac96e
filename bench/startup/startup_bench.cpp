// dravik-startup-bench [--runs N] [--platform offscreen|xcb|all]: starts the tool and a bare
// Qt window in turn, N times each (default 15), each in a fresh empty directory with its own
// empty settings folder and the first-paint probe preloaded, and prints the median time from
// the start of the process to its first paint and the median peak resident memory at that
// moment, side by side, with the tool's ratio to the bare window. The bare window is shown at
// the size the tool's window has. Two references run alongside: the bare window with one line
// of text, and that window linked with the tool's extra Qt modules; they are what a window
// with text and a serial port pays before any of the tool's own work.
//
// Platforms: offscreen, and X11 on a private Xvfb server (started and stopped here) when Xvfb
// is installed. QT_QPA_PLATFORM set in the environment measures that platform alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Sample {
    double ms = -1;
    long kb = -1;
    int width = 0;
    int height = 0;
};

struct Program {
    const char* label;
    const char* path;
    bool sized;  // takes the tool's window size as its argument
};

const Program kTool{"tool", DRAVIK_STARTUP_TOOL, false};
const Program kBare{"bare QWidget", DRAVIK_STARTUP_BARE, true};
const Program kText{"  + one label", DRAVIK_STARTUP_TEXT, true};
const Program kModules{"  + Network, SerialPort", DRAVIK_STARTUP_MODULES, true};

struct Platform {
    std::string name;     // the QT_QPA_PLATFORM value
    std::string display;  // DISPLAY for xcb
};

// One start of `program`; ms < 0 when it never painted within 30 s.
Sample RunOnce(const Program& program, const Platform& platform, const std::string& size) {
    char dir[] = "/tmp/dravik-startup-XXXXXX";
    if (!::mkdtemp(dir)) return {};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    const std::string config = std::string(dir) + "/.config";
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::dup(fds[1]);  // without O_CLOEXEC: kept across exec
        if (out < 0 || ::chdir(dir) != 0) ::_exit(127);
        ::setenv("DRAVIK_STARTUP_FD", std::to_string(out).c_str(), 1);
        ::setenv("LD_PRELOAD", DRAVIK_STARTUP_PROBE, 1);
        ::setenv("QT_QPA_PLATFORM", platform.name.c_str(), 1);
        // Remembered settings (window size, interface, port) of whoever runs the bench
        // must not change what is measured.
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        if (!platform.display.empty()) ::setenv("DISPLAY", platform.display.c_str(), 1);
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 2);
        if (program.sized && !size.empty()) {
            ::execl(program.path, program.path, size.c_str(), static_cast<char*>(nullptr));
        } else {
            ::execl(program.path, program.path, static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    ::close(fds[1]);
    Sample s;
    if (pid > 0) {
        pollfd p{fds[0], POLLIN, 0};
        char line[96] = {};
        if (::poll(&p, 1, 30000) == 1) {
            const ssize_t n = ::read(fds[0], line, sizeof line - 1);
            const auto painted = std::chrono::steady_clock::now();
            if (n > 0 && std::strncmp(line, "PAINTED ", 8) == 0 &&
                std::sscanf(line + 8, "%ld %d %d", &s.kb, &s.width, &s.height) >= 1) {
                s.ms = std::chrono::duration<double, std::milli>(painted - started).count();
            }
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    ::close(fds[0]);
    // The directory is empty or holds only the program's own files.
    std::string cleanup = std::string("rm -rf '") + dir + "'";
    (void)!std::system(cleanup.c_str());
    return s;
}

template <typename T>
T Median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool Executable(const char* path) { return ::access(path, X_OK) == 0; }

std::string FindXvfb() {
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        const std::string path = std::string(dir) + "Xvfb";
        if (Executable(path.c_str())) return path;
    }
    return {};
}

// A private X server on the first free display from :84 on; pid 0 when none started.
pid_t StartXvfb(const std::string& xvfb, std::string& display) {
    for (int n = 84; n < 120; ++n) {
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        struct stat st {};
        if (::stat(socket.c_str(), &st) == 0 || ::stat(lock.c_str(), &st) == 0) continue;
        display = ":" + std::to_string(n);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) {
                ::dup2(null, 1);
                ::dup2(null, 2);
            }
            ::execl(xvfb.c_str(), xvfb.c_str(), display.c_str(), "-nolisten", "tcp", "-screen", "0", "1920x1080x24",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid < 0) return 0;
        for (int i = 0; i < 100; ++i) {  // up to 5 s for the socket
            if (::stat(socket.c_str(), &st) == 0) return pid;
            if (::waitpid(pid, nullptr, WNOHANG) == pid) break;  // it failed (display taken)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    return 0;
}

struct Result {
    double ms;
    long kb;
};

// Runs every program `runs` times, rotating their order each round so that a slow phase of
// the machine hits all alike; the first round only warms the caches and learns the size.
bool Measure(const Platform& platform, int runs) {
    const std::vector<Program> programs{kTool, kBare, kText, kModules};
    const Sample warm = RunOnce(kTool, platform, {});
    if (warm.ms < 0) {
        std::fprintf(stderr, "dravik-startup-bench: the tool did not paint within 30 s (%s)\n", platform.name.c_str());
        return false;
    }
    const std::string size = std::to_string(warm.width) + "x" + std::to_string(warm.height);
    for (std::size_t k = 1; k < programs.size(); ++k) RunOnce(programs[k], platform, size);

    std::vector<std::vector<double>> ms(programs.size());
    std::vector<std::vector<long>> kb(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (std::size_t j = 0; j < programs.size(); ++j) {
            const std::size_t k = (j + static_cast<std::size_t>(i)) % programs.size();
            const Sample s = RunOnce(programs[k], platform, size);
            if (s.ms < 0) {
                std::fprintf(stderr, "dravik-startup-bench: %s did not paint within 30 s (%s)\n", programs[k].path,
                             platform.name.c_str());
                return false;
            }
            ms[k].push_back(s.ms);
            kb[k].push_back(s.kb);
        }
    }
    std::vector<Result> r;
    for (std::size_t k = 0; k < programs.size(); ++k) r.push_back({Median(ms[k]), Median(kb[k])});
    const Result& bare = r[1];
    std::printf("\nplatform %s, window %s, %d rounds (medians; ratios to the bare QWidget)\n", platform.name.c_str(),
                size.c_str(), runs);
    std::printf("                            first paint          peak memory (VmHWM)\n");
    for (std::size_t k = 0; k < programs.size(); ++k) {
        if (k == 2) std::printf("  references:\n");
        std::printf("  %-24s %7.1f ms  %5.2fx   %8ld KiB  %5.2fx%s\n", programs[k].label, r[k].ms, r[k].ms / bare.ms,
                    r[k].kb, static_cast<double>(r[k].kb) / static_cast<double>(bare.kb),
                    k == 0 ? "   goal <= 1.20x each" : "");
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 15;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--platform") == 0 && i + 1 < argc) {
            only = argv[++i];
        } else {
            std::fprintf(stderr, "usage: dravik-startup-bench [--runs N] [--platform offscreen|xcb|all]\n");
            return 64;
        }
    }
    if (only.empty() && std::getenv("QT_QPA_PLATFORM")) only = std::getenv("QT_QPA_PLATFORM");
    if (only.empty()) only = "all";

    std::printf("start-up to first paint and peak memory: the tool beside a bare Qt window of its size\n");
    bool ok = true;
    if (only == "offscreen" || only == "all") ok = Measure({"offscreen", {}}, runs) && ok;
    if (only == "xcb" || only == "all") {
        if (only == "xcb" && std::getenv("DISPLAY")) {
            ok = Measure({"xcb", std::getenv("DISPLAY")}, runs) && ok;
        } else if (const std::string xvfb = FindXvfb(); xvfb.empty()) {
            std::printf("\nplatform xcb: not measured (no Xvfb; apt-get install xvfb)\n");
        } else {
            std::string display;
            const pid_t server = StartXvfb(xvfb, display);
            if (server == 0) {
                std::printf("\nplatform xcb: not measured (Xvfb did not start)\n");
            } else {
                ok = Measure({"xcb", display}, runs) && ok;
                ::kill(server, SIGTERM);
                ::waitpid(server, nullptr, 0);
            }
        }
    }
    return ok ? 0 : 1;
}
