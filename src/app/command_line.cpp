#include "app/command_line.h"

#include "dravik_version.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace dravik::app {

namespace {

std::optional<std::uint32_t> ParseAddress(const QString& text) {
    QHostAddress a;
    if (!a.setAddress(text.trimmed()) || a.protocol() != QAbstractSocket::IPv4Protocol) return std::nullopt;
    // QHostAddress takes "1" or "1.2" as addresses too; only a dotted quad is meant here.
    if (text.trimmed().count(QLatin1Char('.')) != 3) return std::nullopt;
    return a.toIPv4Address();
}

constexpr std::uint32_t kLoopbackNet = 0x7F000000u;  // 127.0.0.0/8

bool IsLoopback(std::uint32_t a) { return (a & 0xFF000000u) == kLoopbackNet; }

}  // namespace

bool ScanRange::Contains(const QString& dotted) const {
    const auto a = ParseAddress(dotted);
    return a && Contains(*a);
}

QString ScanRange::FirstText() const { return QHostAddress(first).toString(); }

std::optional<ScanRange> ParseScanRange(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() > 2) return std::nullopt;
    const auto first = ParseAddress(parts.front());
    const auto last = parts.size() == 2 ? ParseAddress(parts.back()) : first;
    if (!first || !last || *first > *last) return std::nullopt;
    return ScanRange{*first, *last};
}

ParseOutcome ParseCommandLine(const QStringList& arguments) {
    ParseOutcome result;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Controls large-format displays over the LAN or RS-232."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  QStringLiteral("Demo mode: \"IP Scan\" probes only the --scan-range "
                                                 "(nothing without it) and settings are kept apart."));
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("Work in the folder of this list file (or this folder): "
                                                 "the list and tiling files are read and saved there."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Start with this serial device in the COM port box."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption lan(QStringLiteral("lan"), QStringLiteral("Start on the LAN interface."));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Start on the RS-232 interface."));
    const QCommandLineOption scanRange(QStringLiteral("scan-range"),
                                       QStringLiteral("Let \"IP Scan\" probe only these addresses, "
                                                      "e.g. 127.0.0.2-127.0.0.9."),
                                       QStringLiteral("FIRST-LAST"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Append every frame sent and received to FILE (rotated at 10 MiB)."),
                                   QStringLiteral("FILE"));
    parser.addOptions({help, version, demo, list, port, lan, serial, scanRange, trace});

    auto fail = [&](const QString& message) {
        result.err = QStringLiteral("dravik-command-tool: ") + message +
                     QStringLiteral("\nTry 'dravik-command-tool --help'.\n");
        result.exitCode = 2;
        return result;
    };
    if (!parser.parse(arguments)) return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().front()));
    if (parser.isSet(help)) {
        result.out = parser.helpText();
        result.exitCode = 0;
        return result;
    }
    if (parser.isSet(version)) {
        result.out = QStringLiteral("dravik-command-tool %1\n").arg(QLatin1String(DRAVIK_VERSION));
        result.exitCode = 0;
        return result;
    }
    CommandLine& o = result.options;
    o.demo = parser.isSet(demo);
    o.list = parser.value(list);
    o.port = parser.value(port);
    o.trace = parser.value(trace);
    if (parser.isSet(lan) && parser.isSet(serial)) return fail(QStringLiteral("--lan and --serial exclude each other"));
    if (parser.isSet(lan)) o.interface = StartInterface::Lan;
    if (parser.isSet(serial)) o.interface = StartInterface::Serial;
    if (parser.isSet(list) && o.list.isEmpty()) return fail(QStringLiteral("--list needs a file or folder"));
    if (parser.isSet(port) && o.port.isEmpty()) return fail(QStringLiteral("--port needs a device"));
    if (parser.isSet(trace) && o.trace.isEmpty()) return fail(QStringLiteral("--trace needs a file"));
    if (parser.isSet(scanRange)) {
        o.scanRange = ParseScanRange(parser.value(scanRange));
        if (!o.scanRange) return fail(QStringLiteral("bad --scan-range '%1' (e.g. 127.0.0.2-127.0.0.9)").arg(parser.value(scanRange)));
        if (o.demo && !(IsLoopback(o.scanRange->first) && IsLoopback(o.scanRange->last)))
            return fail(QStringLiteral("--demo scans loopback addresses (127.x.x.x) only"));
    }
    return result;
}

}  // namespace dravik::app
