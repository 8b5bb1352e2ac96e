// The command line of dravikctl: subcommand, operands, targets and options. Parsing checks
// everything it can without the network; a failure is one line for standard error.
#pragma once

#include "dravikctl/report.h"
#include "targets/target.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dravik::ctl {

enum class Subcommand { None, Frame, Send, Query, Raw, Identity, Wall };

// One display named on the command line: --ip ADDRESS or --serial DEVICE (as given, in
// `target`), and the --model, --id and --pos that follow it.
struct TargetOption {
    targets::Target target;  // interface, and address or device; the rest is below
    std::optional<std::string> model;
    std::optional<std::string> id;
    std::optional<std::string> pos;
};

struct ListOption {
    std::string path;
};

enum class ListMode { Lan, Serial };

struct Options {
    Subcommand subcommand = Subcommand::None;
    bool help = false;
    std::vector<std::string> operands;

    std::vector<TargetOption> targets;
    // --model / --id / --pos before the first --ip or --serial: for every target that does
    // not set its own (and, for "frame", the model and ID of the frame).
    std::optional<std::string> model;
    std::optional<std::string> id;
    std::optional<std::string> pos;
    std::vector<ListOption> lists;
    std::optional<ListMode> listMode;
    std::optional<std::string> listDevice;

    std::optional<int> level;
    std::optional<bool> keyLock;
    std::optional<bool> irLock;
    std::optional<std::array<int, 2>> matrix;  // columns, rows
    std::optional<bool> wallEnable;
    std::optional<bool> frameComp;
    std::optional<std::array<int, 3>> rgb;
    std::optional<int> at;  // wall locate: only the display at this position

    Format format = Format::Text;
    bool formatGiven = false;
    bool verbose = false;
    bool version = false;
    bool noWait = false;       // send, raw: do not read the acknowledge
    bool dryRun = false;       // send, wall: print each display's frames, send nothing
    bool skipInvalid = false;  // list files: leave bad rows out instead of stopping
    int parallel = 0;  // 0: sequential, as the window does it
};

struct ParseResult {
    bool ok = false;
    std::string error;  // one line, without the program name
    Options options;
};

// `args` are the arguments after the program name.
ParseResult ParseCommandLine(std::span<const std::string> args);

// An argument as a target's texts hold it: UTF-8 as the terminal's encoding decodes it, so
// that a byte it cannot decode shows the same (U+FFFD) in every output.
std::string ArgText(std::string_view arg);
// The display as a run holds it: its own --model, --id and --pos, else those given before
// the first display; monitor ID 1 when neither names one.
targets::Target TargetOf(const TargetOption& option, const Options& options);

// A dotted IPv4 address (four decimal fields 0..255) or a host name (letters, digits and
// hyphens in dot-separated labels, not all digits).
bool IsAddressText(std::string_view text);

// Help texts.
std::string MainUsage();
std::string SubcommandUsage(Subcommand subcommand);
const char* SubcommandName(Subcommand subcommand);

}  // namespace dravik::ctl
