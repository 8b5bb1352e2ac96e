#include "dravikctl/dravikctl.h"

#include "dravikctl/cli_options.h"
#include "dravikctl/cli_text.h"
#include "dravikctl/option_table.h"
#include "dravikctl/command_table.h"
#include "dravikctl/target_result.h"
#include "dravikctl/discovery_commands.h"
#include "dravikctl/runner.h"

#ifndef DRAVIKCTL_VERSION
#define DRAVIKCTL_VERSION "unknown"
#endif
#include "protocol/composer.h"
#include "protocol/wall.h"
#include "targets/records.h"
#include "ui/texts.h"
#include "transport/trace.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

namespace dravik::ctl {

namespace {

// The tool's list files hold up to 255 records of 30 bytes; anything far larger is not one.
constexpr std::size_t kMaxListFileBytes = 1 << 20;

struct Prepared {
    const CommandEntry* entry = nullptr;
    QString model;  // "frame"
    QString id = QStringLiteral("1");
    RunRequest run;
};

// A file name is shown whole, so that the message names the file.
std::string QuotePath(const std::string& path) { return Quote(path, std::string::npos); }

QString FromArg(const std::string& text) { return QString::fromStdString(ArgText(text)); }

// List files hold single-byte characters; a target holds them in UTF-8.
std::string RecordText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).toStdString();
}

std::string BaseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadFile(const std::string& path, protocol::Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.clear();
    char buffer[4096];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto n = in.gcount();
        if (n <= 0) break;
        if (out.size() + static_cast<std::size_t>(n) > kMaxListFileBytes) return false;
        out.insert(out.end(), buffer, buffer + n);
    }
    return !in.bad();
}

// A list row's monitor ID: empty (the tool's default) or a decimal number 0..255.
bool IdText(const std::string& text) {
    int id = 0;
    return text.empty() || (text.size() <= 3 && AllDigits(text) && ParseInt(text, 0, 255, id));
}

class Preparer {
public:
    Preparer(const Options& o, Prepared& p) : o_(o), p_(p) {}

    bool run(std::string& error) {
        error_ = &error;
        RunRequest& run = p_.run;
        run.subcommand = o_.subcommand;
        run.parallel = o_.parallel;
        run.style.format = o_.format;
        run.noWait = o_.noWait;
        run.style.verbose = o_.verbose;
        run.style.query = o_.subcommand == Subcommand::Query;

        if (o_.subcommand == Subcommand::Identity) {
            if (!o_.operands.empty()) return fail("'identity' takes no command, only displays, not " + Quote(o_.operands[0]));
            run.style.command = "identity";
            run.style.query = true;
        } else if (o_.subcommand == Subcommand::Raw) {
            if (o_.operands.empty()) return fail("'raw' needs the frame in hex, as \"A6 01 00 00 00 04 01 18 02\"");
            if (!parseRaw()) return false;
            run.style.command = "raw";
        } else {
            if (o_.operands.size() != 1) {
                return fail(std::string("'") + SubcommandName(o_.subcommand) + "' takes one command (see 'dravikctl " +
                            SubcommandName(o_.subcommand) + " --help')");
            }
            if (!findCommand(o_.operands[0])) return false;
            // A query is named as it was asked ("backlight", not the button's name).
            run.style.command = o_.subcommand == Subcommand::Query ? o_.operands[0] : std::string(p_.entry->name);
            run.entry = p_.entry;
            if (!checkValues()) return false;
            // The wall's gains without --rgb are read back and shown.
            if (o_.subcommand == Subcommand::Wall && p_.entry->action == Action::Gains && !o_.rgb) run.style.query = true;
        }
        if (o_.model && !IsKnownModel(*o_.model)) return fail("unknown model " + Quote(*o_.model));
        for (const TargetOption& t : o_.targets)
            if (t.model && !IsKnownModel(*t.model)) return fail("unknown model " + Quote(*t.model));

        if (o_.subcommand == Subcommand::Frame) {
            p_.model = o_.model ? FromArg(*o_.model) : QString();
            if (o_.id) p_.id = FromArg(*o_.id);
            if (o_.pos) run.inputs.pos = FromArg(*o_.pos);
            if (p_.entry->needsModel() && !(p_.entry->action == Action::Gains && !o_.rgb) && !o_.model)
                return fail(std::string("'").append(p_.entry->name).append("' needs --model"));
            return true;
        }
        return collectTargets();
    }

private:
    bool fail(std::string message) {
        *error_ = std::move(message);
        return false;
    }

    bool findCommand(const std::string& name) {
        const char* sub = SubcommandName(o_.subcommand);
        if (o_.subcommand == Subcommand::Wall) {
            p_.entry = FindWallAction(name);
            if (!p_.entry)
                return fail("unknown wall action " + Quote(name) +
                            " (settings, on, off, power-on, power-off, locate or gains)");
            return true;
        }
        if (o_.subcommand == Subcommand::Query) {
            p_.entry = FindQuery(name);
            if (!p_.entry) return fail("unknown query " + Quote(name) + " (temperature, hours, backlight, video or gains)");
            return true;
        }
        p_.entry = FindCommand(name);
        if (!p_.entry) return fail("unknown command " + Quote(name) + " (see 'dravikctl " + sub + " --help')");
        if (o_.subcommand == Subcommand::Send && p_.entry->action == Action::StatusQuery) {
            const std::string query = name == "backlight-query" ? "backlight" : name;
            return fail("'" + name + "' is a query: use 'dravikctl query " + query + "'");
        }
        return true;
    }

    // The values a command reads; options that it would ignore are refused so that a typo
    // cannot pass unnoticed.
    bool checkValues() {
        const CommandEntry& s = *p_.entry;
        const std::string name(s.name);
        FrameInputs& in = p_.run.inputs;
        const bool send = o_.subcommand == Subcommand::Send;
        const bool wall = s.action == Action::WallSettings;
        const bool anyPos = o_.pos || std::any_of(o_.targets.begin(), o_.targets.end(),
                                                  [](const TargetOption& t) { return t.pos.has_value(); });
        if (o_.level && s.level == LevelKind::None) return fail("--level does not apply to '" + name + "'");
        if ((o_.keyLock || o_.irLock) && s.lock == LockKind::None)
            return fail("--key-lock and --ir-lock apply to key-lock and ir-lock, not '" + name + "'");
        // A wall names each display's position whatever it is told to do (locate --at picks by it).
        const bool wallSub = o_.subcommand == Subcommand::Wall;
        if ((o_.matrix || o_.wallEnable || o_.frameComp || (anyPos && !wallSub)) && !wall)
            return fail("--matrix, --pos, --enable and --frame-comp apply to wall-settings, not '" + name + "'");
        if (o_.at && s.action != Action::Locate) return fail("--at applies to 'wall locate', not '" + name + "'");
        if (o_.rgb && s.action != Action::Gains) return fail("--rgb applies to gains, not '" + name + "'");
        if (send) {
            if (s.level != LevelKind::None && !o_.level) return fail("'" + name + "' needs --level");
            if (s.lock == LockKind::Key && !o_.keyLock) return fail("'key-lock' needs --key-lock on|off");
            if (s.lock == LockKind::Ir && !o_.irLock) return fail("'ir-lock' needs --ir-lock on|off");
            if (s.action == Action::Gains && !o_.rgb)
                return fail("'send gains' needs --rgb R,G,B (to read them: dravikctl query gains)");
        }
        if (o_.level) {
            switch (s.level) {
                case LevelKind::Backlight: in.values.backlight = *o_.level; break;
                case LevelKind::Brightness: in.values.brightness = *o_.level; break;
                case LevelKind::Volume: in.values.volume = *o_.level; break;
                case LevelKind::None: break;
            }
        }
        if (o_.keyLock) in.values.keyLock = *o_.keyLock;
        if (o_.irLock) in.values.irLock = *o_.irLock;
        if (o_.matrix) {
            in.columns = (*o_.matrix)[0];
            in.rows = (*o_.matrix)[1];
        }
        if (o_.wallEnable) in.wallEnable = *o_.wallEnable;
        if (o_.frameComp) in.frameComp = *o_.frameComp;
        if (o_.rgb) {
            in.gains = *o_.rgb;
            in.gainsGiven = true;
        }
        return true;
    }

    bool parseRaw() {
        std::string joined;
        for (const std::string& op : o_.operands) joined += (joined.empty() ? "" : " ") + op;
        protocol::Bytes bytes;
        if (!protocol::ParseHex(joined, bytes)) return fail("malformed hex frame " + Quote(joined));
        if (bytes.size() < 6) return fail("the frame is too short: it needs at least bytes 0 to 5 (5 is the length)");
        if (bytes.size() > protocol::kComposerBytes)
            return fail("the frame is too long: at most 15 bytes before the checksum");
        std::array<std::string, protocol::kComposerBytes> texts;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
            texts[i] = hex;
        }
        const protocol::ComposerResult composed = protocol::ComposeChecksum(texts);
        char length[3];
        std::snprintf(length, sizeof length, "%02X", bytes[5]);
        if (!composed.ok) return fail(std::string("length byte ") + length + " is over 0A, the longest the tool composes");
        if (composed.frame.size() != bytes.size()) {
            return fail(std::string("length byte ") + length + " calls for " + std::to_string(composed.frame.size()) +
                        " bytes before the checksum, the frame has " + std::to_string(bytes.size()));
        }
        protocol::Bytes frame = composed.frame;
        frame.push_back(composed.checksum);
        p_.run.raw = protocol::Frame(std::move(frame));
        return true;
    }

    bool needsModel() const {
        switch (o_.subcommand) {
            case Subcommand::Raw:
            case Subcommand::Identity: return false;
            case Subcommand::Query: return p_.entry->action != Action::Gains;
            case Subcommand::Wall: return p_.entry->action == Action::Gains ? o_.rgb.has_value() : p_.entry->needsModel();
            default: return p_.entry->needsModel();
        }
    }

    // Raw frames go out as given: byte 1 is the display's ID.
    std::string rawId() const { return std::to_string(p_.run.raw[1]); }

    bool collectTargets() {
        auto& targets = p_.run.targets;
        for (const TargetOption& t : o_.targets) {
            targets::Target target = TargetOf(t, o_);
            if (o_.subcommand == Subcommand::Raw) target.id = rawId();
            if (needsModel() && target.model.empty()) {
                const std::string& given = t.target.serial() ? t.target.device : t.target.address;
                return fail("display " + Quote(given) + " needs --model for '" + std::string(p_.entry->name) + "'");
            }
            targets.push_back(std::move(target));
        }
        if (o_.targets.empty() && (o_.model || o_.id || o_.pos))
            return fail("--model, --id and --pos belong to --ip or --serial displays; list files name their own");

        bool serialList = false;
        for (const ListOption& list : o_.lists)
            if (!loadList(list.path, serialList)) return false;
        if (o_.listDevice && !serialList) return fail("--device names the line of an RS-232 list file; there is none");
        if (o_.listMode && o_.lists.empty()) return fail("--mode applies to list files; there is none");
        if (o_.at) {
            // The location test of one grid cell: the display whose position it is.
            const QString at = QString::number(*o_.at);
            std::erase_if(targets,
                          [&](const targets::Target& t) { return QString::fromStdString(t.pos).trimmed() != at; });
            if (targets.empty()) return fail("--at " + std::to_string(*o_.at) + ": no display has that wall position");
        }
        if (targets.empty()) {
            if (!p_.run.skipped.empty()) return fail("no valid displays: every list row was skipped");
            return fail("no displays: give --ip, --serial or --list");
        }

        // The wall page reads and writes the gains with its own rule for the monitor ID.
        if (o_.subcommand == Subcommand::Query && p_.entry->action == Action::Gains) {
            for (targets::Target& t : targets) t.id = std::to_string(protocol::WallMonitorId(t.id));
        }
        return true;
    }

    bool loadList(const std::string& path, bool& serialList) {
        const std::string base = BaseName(path);
        std::optional<ListMode> mode = o_.listMode;
        const bool tiling = base == "MO_Tiling.log" || base == "MO_TilingR.log";
        if (!mode) {
            if (base == "MO_IP.log" || base == "MO_Tiling.log") mode = ListMode::Lan;
            if (base == "MO_ID.log" || base == "MO_TilingR.log") mode = ListMode::Serial;
        }
        if (!mode)
            return fail("cannot tell whether " + QuotePath(path) + " lists LAN or RS-232 displays: give --mode lan or --mode serial");
        protocol::Bytes bytes;
        if (!ReadFile(path, bytes)) return fail("cannot read the list file " + QuotePath(path));
        // The tool writes whole 30-byte records; a tiling file cut short or padded is not
        // one the wall page wrote, and its matrix and positions cannot be trusted.
        constexpr std::size_t kRecordBytes = 30;
        if (tiling && (bytes.size() < kRecordBytes || bytes.size() % kRecordBytes != 0)) {
            return fail(QuotePath(path) + ": " + std::to_string(bytes.size()) +
                        " bytes is not a header and whole 30-byte records of a tiling file");
        }
        const targets::RecordFile file = targets::DecodeRecords(bytes);
        const bool serial = *mode == ListMode::Serial;
        if (serial) {
            serialList = true;
            if (!o_.listDevice) return fail(QuotePath(path) + " lists RS-232 displays: give their line with --device");
        }
        if (tiling && p_.entry && p_.entry->action == Action::WallSettings && file.headerRead) {
            // As the wall page does on loading a tiling file: matrix and frame compensation.
            FrameInputs& in = p_.run.inputs;
            if (!o_.matrix) {
                in.columns = file.header.columns();
                in.rows = file.header.rows();
            }
            if (!o_.frameComp) in.frameComp = file.header.flag;
        }
        int row = 0;
        for (const targets::DeviceRecord& d : file.devices) {
            ++row;
            targets::Target t;
            t.interface = serial ? targets::Interface::Serial : targets::Interface::Lan;
            t.model = RecordText(d.model);
            t.id = o_.subcommand == Subcommand::Raw ? rawId() : RecordText(d.id);
            t.pos = RecordText(d.pos);
            std::string field, reason;
            if (serial) {
                t.device = ArgText(*o_.listDevice);
            } else {
                t.address = RecordText(d.address);
                if (!IsAddressText(d.address)) {
                    field = "address";
                    reason = Quote(d.address) + " is not an IPv4 address or host name";
                }
            }
            if (reason.empty() && !IdText(d.id)) {
                field = "id";
                reason = Quote(d.id) + " is not a monitor ID from 0 to 255";
            }
            if (!reason.empty()) {
                if (!o_.skipInvalid) return fail(QuotePath(path) + " row " + std::to_string(row) + " (" + field + "): " + reason);
                p_.run.skipped.push_back({path, row, field, reason});
                continue;
            }
            p_.run.targets.push_back(std::move(t));
        }
        return true;
    }

    const Options& o_;
    Prepared& p_;
    std::string* error_ = nullptr;
};

int RunFrame(const Prepared& p, std::ostream& out) {
    FrameInputs inputs = p.run.inputs;
    int status = kExitOk;
    for (LabelledSelection& ls : FramesFor(*p.entry, p.model, inputs)) {
        QString text;
        switch (ls.selection.outcome) {
            case protocol::Outcome::Frame:
                Address(*p.entry, ls.selection.frame, p.id);
                text = TrimEnd(QString::fromStdString(protocol::HexSpaced(ls.selection.frame.bytes())));
                break;
            case protocol::Outcome::Refused:
                text = TrimLineEnd(ui::texts::Refusal(p.model));
                status = kExitFailed;
                break;
            case protocol::Outcome::Silent:
                if (p.entry->action == Action::Brightness && ls.label == "query") {
                    // These models take the set frame without reading the parameters first.
                    text = QStringLiteral("none");
                } else {
                    text = QStringLiteral("silent: ") + p.model + QStringLiteral(" gets no frame for ") +
                           QString::fromUtf8(p.entry->name.data(), static_cast<qsizetype>(p.entry->name.size()));
                    status = kExitFailed;
                }
                break;
        }
        if (!ls.label.empty()) out << ls.label << ": ";
        out << text.toStdString() << '\n';
    }
    return status;
}

// send --dry-run: each display's frames, addressed as they would go out; nothing is sent.
int RunDry(const Prepared& p, std::ostream& out) {
    int status = kExitOk;
    for (const targets::Target& t : p.run.targets) {
        const QString model = QString::fromStdString(t.model);
        FrameInputs inputs = p.run.inputs;
        inputs.pos = QString::fromStdString(t.pos);
        for (LabelledSelection& ls : FramesFor(*p.entry, model, inputs)) {
            // Setting the gains sends the set frame alone.
            const bool gainSet = p.entry->action == Action::Gains && inputs.gainsGiven;
            if (gainSet && ls.label == "request") continue;
            if (gainSet) ls.label.clear();
            std::string text;
            if (ls.selection.ok()) {
                Address(*p.entry, ls.selection.frame, QString::fromStdString(t.id));
                text = TrimEnd(QString::fromStdString(protocol::HexSpaced(ls.selection.frame.bytes()))).toStdString();
            } else if (ls.selection.outcome == protocol::Outcome::Refused) {
                text = TrimLineEnd(ui::texts::Refusal(model)).toStdString();
                status = kExitFailed;
            } else {
                text = "none";
                if (!(p.entry->action == Action::Brightness && ls.label == "query")) status = kExitFailed;
            }
            out << t.label() << "  " << (ls.label.empty() ? "" : ls.label + ": ") << text << '\n';
        }
    }
    return status;
}

}  // namespace

namespace {

// "--trace FILE" (or "--trace=FILE") anywhere on the line before a "--", taken out before
// the subcommand's own options are read, so that every subcommand traces the same way.
struct TraceArgument {
    std::vector<std::string> rest;
    std::optional<std::string> file;
    std::string error;
};

TraceArgument TakeTraceArgument(std::span<const std::string> args) {
    const std::string option = "--" + std::string(FindLongOption("trace", kBitMain)->name);
    TraceArgument t;
    bool operands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (operands || a == "--") {
            // What follows "--" is the subcommand's, whatever it looks like.
            operands = true;
            t.rest.push_back(a);
        } else if (a == option) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                t.error = option + " needs a file";
                return t;
            }
            t.file = args[++i];
        } else if (a.rfind(option + "=", 0) == 0) {
            t.file = a.substr(option.size() + 1);
            if (t.file->empty()) {
                t.error = option + " needs a file";
                return t;
            }
        } else {
            t.rest.push_back(a);
        }
    }
    return t;
}

// The trace file for one run: closed (and the message handler restored) when the run ends.
class TraceFileScope {
public:
    bool open(const std::string& path) {
        transport::StartTraceClock();
        open_ = transport::InstallTraceFile(QString::fromStdString(path));
        return open_;
    }
    ~TraceFileScope() {
        if (open_) transport::RemoveTraceFile();
    }

private:
    bool open_ = false;
};

int RunArguments(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace

int Main(std::span<const std::string> all, std::ostream& out, std::ostream& err) {
    const TraceArgument trace = TakeTraceArgument(all);
    if (!trace.error.empty()) {
        err << "dravikctl: " << trace.error << '\n';
        return kExitUsage;
    }
    TraceFileScope scope;
    if (trace.file && !scope.open(*trace.file)) {
        err << "dravikctl: cannot write the trace file " << *trace.file << '\n';
        return kExitUsage;
    }
    return RunArguments(trace.rest, out, err);
}

namespace {

int RunArguments(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    // scan, search and check have their own options (discovery_commands.cpp).
    if (IsDiscoveryCommand(args)) return RunDiscoveryCommand(args, out, err);
    const ParseResult parsed = ParseCommandLine(args);
    if (!parsed.ok) {
        err << "dravikctl: " << parsed.error << '\n';
        return kExitUsage;
    }
    const Options& o = parsed.options;
    if (o.version) {
        out << "dravikctl " << DRAVIKCTL_VERSION << '\n';
        return kExitOk;
    }
    if (o.help) {
        out << (o.subcommand == Subcommand::None ? MainUsage() : SubcommandUsage(o.subcommand));
        return kExitOk;
    }
    Prepared prepared;
    std::string error;
    if (!Preparer(o, prepared).run(error)) {
        err << "dravikctl: " << error << '\n';
        return kExitUsage;
    }
    if (o.subcommand == Subcommand::Frame) return RunFrame(prepared, out);
    if (o.dryRun) return RunDry(prepared, out);
    Console console(out, err);
    return RunTargets(prepared.run, console);
}

}  // namespace

}  // namespace dravik::ctl
