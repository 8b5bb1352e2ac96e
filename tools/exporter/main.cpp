// dravik-exporter: Prometheus's multi-target exporter for the displays. Options follow the
// exporters' conventions; exit 2 for a bad option or configuration.
#include "exporter/server.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include <sys/socket.h>
#include <unistd.h>

#ifndef DRAVIK_EXPORTER_VERSION
#define DRAVIK_EXPORTER_VERSION "0"
#endif

namespace {

int hupPipe[2] = {-1, -1};

void OnHangUp(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(hupPipe[1], &c, 1);
}

const char* kUsage =
    "usage: dravik-exporter [options]\n"
    "  --web.listen-address=ADDRESS:PORT  where to listen (default 127.0.0.1:9734)\n"
    "  --web.config.file=FILE             TLS and basic auth (exporter-toolkit format)\n"
    "  --config.file=FILE                 modules and allowed_targets (YAML)\n"
    "  --probe.max-concurrent=N           probes at once (default 64)\n"
    "  --log.level=debug|info|warn|error  (default info)\n"
    "  --version                          print the version and exit\n";

bool SplitListen(const std::string& text, dravik::exporter::ServerOptions& o) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    const int p = std::stoi(port);
    if (p > 65535) return false;
    o.port = static_cast<quint16>(p);
    if (host.empty()) {
        o.address = QHostAddress::Any;  // ":9734": every address, as the other exporters read it
    } else if (host == "localhost") {
        o.address = QHostAddress::LocalHost;
    } else if (!o.address.setAddress(QString::fromStdString(host.front() == '[' && host.back() == ']' ? host.substr(1, host.size() - 2) : host))) {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    dravik::exporter::ServerOptions options;
    options.version = DRAVIK_EXPORTER_VERSION;
    std::string level = "info";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            } else if (arg != "--version" && arg != "--help" && i + 1 < argc) {
                value = argv[++i];
            }
        }
        if (arg == "--version") {
            std::cout << "dravik-exporter " << DRAVIK_EXPORTER_VERSION << "\n";
            return 0;
        } else if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--web.listen-address") {
            if (!SplitListen(value, options)) {
                std::cerr << "dravik-exporter: --web.listen-address wants ADDRESS:PORT, not '" << value << "'\n";
                return 2;
            }
        } else if (arg == "--web.config.file") {
            options.webConfigFile = value;
        } else if (arg == "--config.file") {
            options.configFile = value;
        } else if (arg == "--probe.max-concurrent") {
            if (value.empty() || value.size() > 5 || value.find_first_not_of("0123456789") != std::string::npos ||
                std::stoi(value) < 1 || std::stoi(value) > 4096) {
                std::cerr << "dravik-exporter: --probe.max-concurrent wants 1..4096\n";
                return 2;
            }
            options.maxConcurrent = std::stoi(value);
        } else if (arg == "--log.level") {
            if (value != "debug" && value != "info" && value != "warn" && value != "error") {
                std::cerr << "dravik-exporter: --log.level wants debug, info, warn or error\n";
                return 2;
            }
            level = value;
        } else {
            std::cerr << "dravik-exporter: unknown option '" << argv[i] << "'\n" << kUsage;
            return 2;
        }
    }
    // The library's own frame trace is for dravikctl's --trace; here it stays quiet below debug.
    if (level != "debug") qputenv("QT_LOGGING_RULES", "dravik.*=false");

    QCoreApplication app(argc, argv);
    dravik::exporter::ExporterServer server(options);
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "level=error msg=\"cannot start\" err=\"%s\"\n", error.c_str());
        return 2;
    }
    if (level == "debug" || level == "info")
        std::fprintf(stderr, "level=info msg=\"listening\" address=%s:%u version=%s\n",
                     options.address.toString().toUtf8().constData(), static_cast<unsigned>(server.port()),
                     DRAVIK_EXPORTER_VERSION);

    // SIGHUP reloads the configuration on the event loop's thread.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, hupPipe) != 0) return 1;
    QSocketNotifier hup(hupPipe[0], QSocketNotifier::Read);
    QObject::connect(&hup, &QSocketNotifier::activated, [&] {
        char c;
        [[maybe_unused]] const auto n = ::read(hupPipe[0], &c, 1);
        std::string why;
        if (server.reload(&why)) {
            if (level != "warn" && level != "error") std::fprintf(stderr, "level=info msg=\"configuration reloaded\"\n");
        } else {
            std::fprintf(stderr, "level=error msg=\"reload failed, the old configuration stays\" err=\"%s\"\n", why.c_str());
        }
    });
    struct sigaction sa {};
    sa.sa_handler = OnHangUp;
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGHUP, &sa, nullptr);
    // SIGTERM and SIGINT end the loop so running probes are stopped and joined.
    static int termPipe[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, termPipe) != 0) return 1;
    QSocketNotifier term(termPipe[0], QSocketNotifier::Read);
    QObject::connect(&term, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction st {};
    st.sa_handler = [](int) {
        const char c = 1;
        [[maybe_unused]] const auto n = ::write(termPipe[1], &c, 1);
    };
    ::sigaction(SIGTERM, &st, nullptr);
    ::sigaction(SIGINT, &st, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return app.exec();
}
