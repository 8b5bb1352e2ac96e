#include "dravikctl/cli_options.h"

#include "dravikctl/cli_text.h"
#include "dravikctl/command_table.h"
#include "dravikctl/option_table.h"

#include <QString>

#include <algorithm>
#include <charconv>
#include <string_view>

namespace dravik::ctl {

namespace {

using Opt = OptionId;

constexpr int kMaxParallel = 256;

unsigned MaskOf(Subcommand s) { return s == Subcommand::None ? kBitMain : SubcommandBitOf(SubcommandName(s)); }

std::optional<Subcommand> SubcommandFromName(std::string_view name) {
    if (name == "frame") return Subcommand::Frame;
    if (name == "send") return Subcommand::Send;
    if (name == "query") return Subcommand::Query;
    if (name == "raw") return Subcommand::Raw;
    if (name == "identity") return Subcommand::Identity;
    if (name == "wall") return Subcommand::Wall;
    return std::nullopt;
}

std::optional<bool> ParseSwitch(std::string_view text) {
    if (text == "on" || text == "yes" || text == "1") return true;
    if (text == "off" || text == "no" || text == "0") return false;
    return std::nullopt;
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(sep);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

class Parser {
public:
    explicit Parser(std::span<const std::string> args) : args_(args) {}

    ParseResult run() {
        ParseResult r;
        if (args_.empty()) return fail("no subcommand (frame, send, query or raw); see 'dravikctl --help'");
        std::size_t i = 0;
        // Options before the subcommand: only help.
        const std::string_view first = args_[0];
        if (first == "--version" || first == "-V") {
            r.ok = true;
            r.options.version = true;
            return r;
        }
        if (first == "-h" || first == "--help") {
            r.ok = true;
            r.options.help = true;
            return r;
        }
        if (first == "help") {
            r.ok = true;
            r.options.help = true;
            if (args_.size() > 1) {
                const auto sub = SubcommandFromName(args_[1]);
                if (!sub) return fail("unknown subcommand " + Quote(args_[1]) + "; see 'dravikctl --help'");
                r.options.subcommand = *sub;
            }
            return r;
        }
        const auto sub = SubcommandFromName(first);
        if (!sub) {
            if (!first.empty() && first[0] == '-') return fail("the subcommand comes first; see 'dravikctl --help'");
            return fail("unknown subcommand " + Quote(first) + "; see 'dravikctl --help'");
        }
        opts_.subcommand = *sub;
        ++i;

        std::string error;
        const bool read = ReadArguments(
            args_.subspan(i), MaskOf(opts_.subcommand), SubcommandName(opts_.subcommand),
            [&](const OptionDef& def, const std::string& value) {
                if (apply(def, value)) return true;
                error = error_;
                return false;
            },
            [&](const std::string& operand) {
                opts_.operands.push_back(operand);
                return true;
            },
            error);
        if (!read) return fail(error);
        r.ok = true;
        r.options = std::move(opts_);
        return r;
    }

private:
    ParseResult fail(std::string message) {
        ParseResult r;
        r.error = std::move(message);
        return r;
    }

    bool error(std::string message) {
        error_ = std::move(message);
        return false;
    }

    // A value for the last --ip/--serial target, or the default before the first one.
    std::optional<std::string>& targetField(std::optional<std::string> TargetOption::*field,
                                            std::optional<std::string>& fallback) {
        return opts_.targets.empty() ? fallback : opts_.targets.back().*field;
    }

    bool apply(const OptionDef& def, const std::string& value) {
        const std::string name = "--" + std::string(def.name);
        switch (def.id) {
            case Opt::Help: opts_.help = true; return true;
            case Opt::Verbose: opts_.verbose = true; return true;
            case Opt::Json:
                // The one-object-per-line output that --json has always given.
                if (opts_.formatGiven && opts_.format != Format::Jsonl)
                    return error("--json and --format " + Quote(value) + " disagree");
                opts_.format = Format::Jsonl;
                opts_.formatGiven = true;
                return true;
            case Opt::Format: {
                const auto format = FormatFromName(value);
                if (!format || *format == Format::PrometheusSd)
                    return error(name + " wants text, json, jsonl, csv or prometheus, not " + Quote(value));
                if (opts_.formatGiven && opts_.format != *format) return error("--format given twice");
                opts_.format = *format;
                opts_.formatGiven = true;
                return true;
            }
            case Opt::NoWait: opts_.noWait = true; return true;
            case Opt::DryRun: opts_.dryRun = true; return true;
            case Opt::SkipInvalid: opts_.skipInvalid = true; return true;
            case Opt::Parallel:
                if (!ParseInt(value, 1, kMaxParallel, opts_.parallel))
                    return error(name + " wants a number of displays from 1 to " + std::to_string(kMaxParallel) +
                                 ", not " + Quote(value));
                return true;
            case Opt::Ip:
            case Opt::Serial: {
                if (value.empty()) return error(name + " needs a value");
                TargetOption t;
                if (def.id == Opt::Serial) {
                    t.target.interface = targets::Interface::Serial;
                    t.target.device = value;
                } else {
                    if (!IsAddressText(value)) return error(Quote(value) + " is not an IPv4 address or host name");
                    t.target.address = value;
                }
                opts_.targets.push_back(std::move(t));
                return true;
            }
            case Opt::List:
                if (value.empty()) return error(name + " needs a file name");
                opts_.lists.push_back({value});
                return true;
            case Opt::Mode:
                if (value == "lan") {
                    opts_.listMode = ListMode::Lan;
                } else if (value == "serial") {
                    opts_.listMode = ListMode::Serial;
                } else {
                    return error(name + " wants lan or serial, not " + Quote(value));
                }
                return true;
            case Opt::Device:
                if (value.empty()) return error(name + " needs a device path");
                opts_.listDevice = value;
                return true;
            case Opt::Model: {
                if (value.empty()) return error(name + " needs a model name");
                auto& field = targetField(&TargetOption::model, opts_.model);
                if (field) return error(name + " given twice for one target");
                field = value;
                return true;
            }
            case Opt::Id: {
                int id = 0;
                if (!ParseInt(value, 0, 255, id))
                    return error(name + " wants a monitor ID from 0 to 255, not " + Quote(value));
                auto& field = targetField(&TargetOption::id, opts_.id);
                if (field) return error(name + " given twice for one target");
                field = std::to_string(id);
                return true;
            }
            case Opt::Pos: {
                int pos = 0;
                if (!ParseInt(value, 0, 25, pos))
                    return error(name + " wants a wall position from 0 (none) to 25, not " + Quote(value));
                auto& field = targetField(&TargetOption::pos, opts_.pos);
                if (field) return error(name + " given twice for one target");
                field = std::to_string(pos);
                return true;
            }
            case Opt::Level: {
                int level = 0;
                if (!ParseInt(value, -2147483647 - 1, 2147483647, level))
                    return error(name + " wants a whole number, not " + Quote(value));
                opts_.level = level;
                return true;
            }
            case Opt::KeyLock:
            case Opt::IrLock:
            case Opt::Enable:
            case Opt::FrameComp: {
                const auto on = ParseSwitch(value);
                if (!on) return error(name + " wants on or off, not " + Quote(value));
                if (def.id == Opt::KeyLock) opts_.keyLock = on;
                if (def.id == Opt::IrLock) opts_.irLock = on;
                if (def.id == Opt::Enable) opts_.wallEnable = on;
                if (def.id == Opt::FrameComp) opts_.frameComp = on;
                return true;
            }
            case Opt::Matrix: {
                const auto parts = Split(value, 'x');
                std::array<int, 2> m{};
                if (parts.size() != 2 || !ParseInt(parts[0], 1, 5, m[0]) || !ParseInt(parts[1], 1, 5, m[1]))
                    return error(name + " wants COLUMNSxROWS, each 1 to 5 (as 3x2), not " + Quote(value));
                opts_.matrix = m;
                return true;
            }
            case Opt::At: {
                int at = 0;
                if (!ParseInt(value, 1, 25, at)) return error(name + " wants a wall position from 1 to 25, not " + Quote(value));
                opts_.at = at;
                return true;
            }
            case Opt::Rgb: {
                const auto parts = Split(value, ',');
                std::array<int, 3> g{};
                bool ok = parts.size() == 3;
                for (std::size_t k = 0; ok && k < 3; ++k) ok = ParseInt(parts[k], 0, 255, g[k]);
                if (!ok) return error(name + " wants R,G,B, each 0 to 255 (as 255,0,128), not " + Quote(value));
                opts_.rgb = g;
                return true;
            }
            // The line before the subcommand and the discovery subcommands take these;
            // the mask check above turns them away here.
            case Opt::Version:
            case Opt::Trace:
            case Opt::WriteList:
            case Opt::Range:
            case Opt::Local:
            case Opt::Port:
            case Opt::From:
            case Opt::To: break;
        }
        return error("unknown option " + name);
    }

    std::span<const std::string> args_;
    Options opts_;
    std::string error_;
};

}  // namespace

ParseResult ParseCommandLine(std::span<const std::string> args) { return Parser(args).run(); }

std::string ArgText(std::string_view arg) {
    return QString::fromLocal8Bit(arg.data(), static_cast<qsizetype>(arg.size())).toStdString();
}

targets::Target TargetOf(const TargetOption& option, const Options& options) {
    const auto text = [](const std::optional<std::string>& own, const std::optional<std::string>& all) {
        return own ? ArgText(*own) : all ? ArgText(*all) : std::string();
    };
    targets::Target t = option.target;
    t.address = ArgText(t.address);
    t.device = ArgText(t.device);
    t.model = text(option.model, options.model);
    t.id = option.id || options.id ? text(option.id, options.id) : "1";
    t.pos = text(option.pos, options.pos);
    return t;
}

bool IsAddressText(std::string_view text) {
    if (text.empty() || text.size() > 253) return false;
    const bool numeric = std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    if (numeric) return ParseIPv4(text).has_value();
    std::string_view name = text;
    if (name.back() == '.') name.remove_suffix(1);
    const auto labels = Split(name, '.');
    for (std::string_view label : labels) {
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') return false;
        for (char c : label) {
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
            if (!ok) return false;
        }
    }
    // "10.0.0" is a mistyped address, not a name: the last label of a name is never all digits.
    return !AllDigits(labels.back());
}

const char* SubcommandName(Subcommand subcommand) {
    switch (subcommand) {
        case Subcommand::Frame: return "frame";
        case Subcommand::Send: return "send";
        case Subcommand::Query: return "query";
        case Subcommand::Raw: return "raw";
        case Subcommand::Identity: return "identity";
        case Subcommand::Wall: return "wall";
        case Subcommand::None: break;
    }
    return "dravikctl";
}

std::string MainUsage() {
    return std::string("Usage: dravikctl SUBCOMMAND [OPTIONS]\n"
           "Sends the Dravik Command Tool's command frames to displays, for scripts.\n"
           "\n"
           "Subcommands:\n"
           "  frame COMMAND  print the frame the tool sends to a model for COMMAND\n"
           "  send COMMAND   send COMMAND to displays over the LAN or an RS-232 line\n"
           "  query WHAT     read temperature, hours, backlight, video or gains\n"
           "  raw FRAME      append the checksum to a hex frame and send it as it is\n"
           "  identity       read the model name each display reports (LAN or RS-232)\n"
           "  wall ACTION    set a video wall up: matrix and positions, wall on and off,\n"
           "                 power, location test, colour gains\n"
           "  scan           find LAN displays in an address range (the \"IP Scan\")\n"
           "  search         find the monitor IDs that answer on an RS-232 line\n"
           "  check          check that RS-232 displays answer with their model name\n"
           "\n"
           "Run 'dravikctl SUBCOMMAND --help' for the options of each.\n"
           "\n") +
           OptionHelp(HelpSection::Main, kBitMain) +
           "\n"
           "Exit status:\n"
           "  0  every display did what was asked (outcome sent or replied)\n"
           "  1  some display failed (no reply, NACK, NAV, a bad reply, refused for its model,\n"
           "     or not reached while others were)\n"
           "  2  usage error: bad option, command, address, list file or tiling file; nothing\n"
           "     was sent\n"
           "  3  no display could be reached at all (connection refused, timed out, no route,\n"
           "     name not resolved, port busy, permission denied, port closed)\n";
}

namespace {

// Every command with what it sends, from the command table itself.
std::string CommandTable() {
    std::string text = "Commands:\n";
    for (const CommandEntry& c : AllCommands()) {
        std::string name(c.name);
        name.resize(std::max<std::size_t>(name.size(), 16), ' ');
        text += "  " + name + std::string(c.summary) + "\n";
    }
    return text;
}

std::string CommandList() {
    return "Commands:\n"
           "  remote keys  power menu input vol-up vol-down mute up down left right ok\n"
           "               return info\n"
           "  power        on off\n"
           "  inputs       hdmi1 hdmi2 displayport dvi vga usb cms custom media-player ops\n"
           "  levels       backlight brightness volume key-lock ir-lock\n"
           "  service      reset\n"
           "  wall         wall-on wall-off wall-settings gains\n"
           "  queries      temperature hours backlight-query video (frame only; use 'query')\n";
}

}  // namespace

std::string SubcommandUsage(Subcommand subcommand) {
    switch (subcommand) {
        case Subcommand::Frame:
            return "Usage: dravikctl frame COMMAND [--model MODEL] [--id N] [VALUES]\n"
                   "Prints the frame the tool sends to a display of MODEL for COMMAND, as the TX\n"
                   "box shows it, or the refusal text, or that the model gets no frame (silent).\n"
                   "brightness prints the video-parameters query and the set frame; gains prints\n"
                   "the request and, with --rgb, the set frame. --model is needed by every\n"
                   "command whose frame depends on the model. Exit status 1 when the model is\n"
                   "refused or silent for COMMAND.\n\n" +
                   CommandTable() + "\n" + OptionSections(kBitFrame);
        case Subcommand::Send:
            return std::string(
                       "Usage: dravikctl send COMMAND DISPLAYS [VALUES] [OUTPUT]\n"
                       "Sends COMMAND to every display, in the order given, as the tool's Control page\n"
                       "does with no row selected: the same frames, refusals, exchanges and waits\n"
                       "(on an RS-232 line its pauses between displays, 300 ms for most commands).\n"
                       "One line per display: address or ID, model, the frame sent or the refusal,\n"
                       "the LINK result, and ok or the outcome (no-reply, nack, connect-refused, ...).\n"
                       "Over the LAN as over RS-232 the display's acknowledge is read; --no-wait\n"
                       "sends and closes without reading it (the Control page's LAN exchange).\n"
                       "-n, --dry-run prints each display's frames as they would go out (for the wall:\n"
                       "dravikctl send wall-settings --list MO_Tiling.log --dry-run) and sends nothing.\n"
                       "backlight, brightness and volume need --level; key-lock needs --key-lock,\n"
                       "ir-lock needs --ir-lock; gains needs --rgb.\n\n") +
                   CommandList() + "\n" + OptionSections(kBitSend);
        case Subcommand::Query:
            return std::string(
                       "Usage: dravikctl query temperature|hours|backlight|video|gains DISPLAYS [OUTPUT]\n"
                       "Reads values back from each display and prints them decoded: the temperature\n"
                       "in degrees Celsius, the operating hours, the backlight level (the models that\n"
                       "answer with video parameters instead show those), video parameters 2 to 7,\n"
                       "or the red, green and blue gains. --model is needed for every display.\n\n") +
                   OptionSections(kBitQuery);
        case Subcommand::Raw:
            return std::string(
                       "Usage: dravikctl raw FRAME DISPLAYS [OUTPUT]\n"
                       "FRAME is the frame without its checksum, in hex bytes (\"A6 01 00 00 00 04 01 18\n"
                       "02\"); its length byte (byte 5) must be 1 to 10 and match the bytes given. The\n"
                       "checksum is appended as the tool's composer computes it and the frame goes out\n"
                       "as it is: byte 1 is the monitor ID, so --id is not taken. --no-wait: do not\n"
                       "read the acknowledge.\n\n") +
                   OptionSections(kBitRaw);
        case Subcommand::Identity:
            return std::string(
                       "Usage: dravikctl identity DISPLAYS [OUTPUT]\n"
                       "Asks each display for its model name with the identity queries (A2 01, then\n"
                       "A1 00 after a family tag), at its monitor ID (--id, default 1), and prints the\n"
                       "model it reports: over the LAN as the subnet scan asks, on an RS-232 line with\n"
                       "the serial ID search's waits (500 ms, then 200 ms more). --model is not needed.\n"
                       "Examples: dravikctl identity --ip 192.0.2.10 --id 3 --format json\n"
                       "          dravikctl identity --serial /dev/ttyUSB0 --id 1 --serial /dev/ttyUSB0 --id 2\n\n") +
                   OptionSections(kBitIdentity);
        case Subcommand::Wall:
            return std::string(
                       "Usage: dravikctl wall ACTION DISPLAYS [VALUES] [OUTPUT]\n"
                       "Runs the video wall page's commands on the displays of a wall, given by a\n"
                       "tiling file (--list MO_Tiling.log or MO_TilingR.log: matrix, frame\n"
                       "compensation and each display's position) or by options (--matrix, and --pos\n"
                       "after each --ip or --serial). The frames, exchanges and waits are the wall\n"
                       "page's (addressed with its rule: an ID outside 1..25 goes out as 1).\n"
                       "\n"
                       "Actions:\n"
                       "  settings    the wall settings to every display: enable, frame compensation,\n"
                       "              its position and the matrix (--matrix CxR, --pos, --enable,\n"
                       "              --frame-comp)\n"
                       "  on, off     wall mode on or off\n"
                       "  power-on, power-off\n"
                       "              power, as the wall page sends it (off is 18 01 for every model)\n"
                       "  locate      location test: the display brings up its menu; --at P picks the\n"
                       "              display at position P\n"
                       "  gains       read the red, green and blue gains; with --rgb R,G,B set them\n"
                       "              (--model picks the set frame's form)\n"
                       "\n"
                       "  -n, --dry-run  print each display's frames as they would go out, send nothing\n"
                       "  --at P         locate: only the display at wall position P (1..25)\n"
                       "\n"
                       "Examples:\n"
                       "  dravikctl wall settings --list MO_Tiling.log\n"
                       "  dravikctl wall settings --matrix 2x1 --model KA-55Q --ip 192.0.2.11 --pos 1 \\\n"
                       "      --ip 192.0.2.12 --pos 2 --dry-run\n"
                       "  dravikctl wall locate --list MO_Tiling.log --at 2\n"
                       "  dravikctl wall gains --serial /dev/ttyUSB0 --id 3 --rgb 255,0,128 --model KA-55\n\n") +
                   OptionSections(kBitWall);
        case Subcommand::None: break;
    }
    return MainUsage();
}

std::optional<Format> FormatFromName(std::string_view name) {
    if (name == "text") return Format::Text;
    if (name == "json") return Format::Json;
    if (name == "jsonl") return Format::Jsonl;
    if (name == "csv") return Format::Csv;
    if (name == "prometheus") return Format::Prometheus;
    if (name == "prometheus-sd") return Format::PrometheusSd;
    return std::nullopt;
}

}  // namespace dravik::ctl
