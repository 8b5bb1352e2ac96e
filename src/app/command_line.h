// The window's command line.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace dravik::app {

// An inclusive range of IPv4 addresses (host byte order) that "IP Scan" may probe.
struct ScanRange {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool Contains(std::uint32_t address) const { return address >= first && address <= last; }
    bool Contains(const QString& dotted) const;
    QString FirstText() const;
};

// "A.B.C.D" or "A.B.C.D-A.B.C.E" (first <= last); nullopt for anything else.
std::optional<ScanRange> ParseScanRange(const QString& text);

enum class StartInterface { Remembered, Lan, Serial };

struct CommandLine {
    bool demo = false;
    QString list;  // a list file, or the folder holding the list and tiling files
    QString port;
    StartInterface interface = StartInterface::Remembered;
    std::optional<ScanRange> scanRange;
    QString trace;
};

struct ParseOutcome {
    CommandLine options;
    // Set when the program ends here: 0 after --help / --version, 2 after a mistake.
    std::optional<int> exitCode;
    QString out;  // for stdout
    QString err;  // for stderr
};

// `arguments` include the program name first, as QCoreApplication::arguments() gives them.
ParseOutcome ParseCommandLine(const QStringList& arguments);

}  // namespace dravik::app
