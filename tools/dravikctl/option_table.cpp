#include "dravikctl/option_table.h"

#include "dravikctl/cli_text.h"

#include <array>
#include <optional>

namespace dravik::ctl {

namespace {

using S = HelpSection;
using O = OptionId;

constexpr unsigned kLevels = kBitFrame | kBitSend;
constexpr unsigned kWallValues = kBitFrame | kBitSend | kBitWall;

constexpr OptionDef kOptions[] = {
    // Before any subcommand, and --trace with every one.
    {O::Version, "version", 'V', false, kBitMain, S::Main, "  --version      print the version and exit\n"},
    {O::Trace, "trace", 0, true, kBitEvery | kBitMain, S::Main,
     "  --trace FILE   append every frame sent and received, with its time, target and\n"
     "                 outcome, to FILE (any subcommand; the window's trace format)\n"},

    // The displays a command goes to.
    {O::Ip, "ip", 0, true, kBitTargets, S::Displays,
     "  --ip ADDRESS       a display on the LAN (IPv4 address or host name, TCP port 5000)\n"},
    {O::Serial, "serial", 0, true, kBitTargets, S::Displays,
     "  --serial DEVICE    a display on an RS-232 line (9600 8N1), e.g. /dev/ttyUSB0\n"},
    {O::Model, "model", 0, true, kBitTargets, S::Displays,
     "  --model MODEL      the display's model (as the tool lists it, e.g. KA-55Q)\n"},
    {O::Id, "id", 0, true, kBitTargets & ~kBitRaw, S::Displays,
     "  --id N             the display's monitor ID, 0..255 (default 1)\n"
     "                     --model and --id after --ip/--serial belong to that display;\n"
     "                     before the first one they apply to every display\n"},
    {O::List, "list", 0, true, kBitTargets, S::Displays,
     "  --list FILE        the displays of a list or tiling file of the tool (MO_IP.log,\n"
     "                     MO_ID.log, MO_Tiling.log, MO_TilingR.log); repeatable\n"},
    {O::Mode, "mode", 0, true, kBitTargets, S::Displays,
     "  --mode lan|serial  the interface of list files whose name does not tell it\n"},
    {O::Device, "device", 0, true, kBitTargets, S::Displays,
     "  --device DEVICE    the RS-232 line of the displays of a serial list file\n"},
    {O::SkipInvalid, "skip-invalid", 0, false, kBitTargets, S::Displays,
     "\n"
     "  --skip-invalid     leave out the list rows that are not valid (each is reported)\n"
     "                     instead of refusing the whole command\n"},
    // The scan's range and the RS-232 discovery's line and displays.
    {O::Range, "range", 0, true, kBitScan, S::Displays,
     "  --range RANGE      A.B.C.0/24 (hosts 1 to 254) or FIRST-LAST within one /24,\n"
     "                     e.g. 192.168.10.20-192.168.10.40; repeatable\n"},
    {O::Local, "local", 0, false, kBitScan, S::Displays,
     "  --local            the /24 of this computer's first IPv4 address (never\n"
     "                     guessed otherwise)\n"},
    {O::Port, "port", 0, true, kBitSearch | kBitCheck, S::Displays,
     "  --port DEVICE      the RS-232 line, e.g. /dev/ttyUSB0\n"},
    {O::List, "list", 0, true, kBitCheck, S::Displays,
     "  --list FILE        the displays of an RS-232 list file (MO_ID.log); repeatable\n"},
    {O::Id, "id", 0, true, kBitCheck, S::Displays,
     "  --id N             a display by its monitor ID, 0..255; repeatable\n"},
    {O::Model, "model", 0, true, kBitSearch, S::Displays,
     "  --model MODEL      the model whose identity query (A2 01 or A1 00) is asked\n"},
    {O::Model, "model", 0, true, kBitCheck, S::Displays,
     "  --model MODEL      the model of the --id before it (before any --id: of every one)\n"},
    {O::From, "from", 0, true, kBitSearch, S::Displays, "  --from N           the first monitor ID asked (default 1)\n"},
    {O::To, "to", 0, true, kBitSearch, S::Displays, "  --to M             the last monitor ID asked (default 25)\n"},

    // The values of the frames.
    {O::Model, "model", 0, true, kBitFrame, S::Values, "  --model MODEL      the model the frame is for\n"},
    {O::Id, "id", 0, true, kBitFrame, S::Values, "  --id N             the monitor ID in the frame, 0..255 (default 1)\n"},
    {O::Level, "level", 0, true, kLevels, S::Values,
     "  --level N          backlight, brightness or volume level (sent as its low 8 bits;\n"
     "                     volume is capped for the models whose frame caps it)\n"},
    {O::KeyLock, "key-lock", 0, true, kLevels, S::Values,
     "  --key-lock on|off, --ir-lock on|off\n"
     "                     the lock check boxes; the lock-bits and either-lock frames carry\n"
     "                     both, so give both for those models (the one not given is off)\n"},
    {O::IrLock, "ir-lock", 0, true, kLevels, S::Values, ""},  // with --key-lock above
    {O::Matrix, "matrix", 0, true, kWallValues, S::Values,
     "  --matrix CxR       wall columns and rows, 1..5 each (default 1x1, or the header of\n"
     "                     a tiling file)\n"},
    {O::Pos, "pos", 0, true, kWallValues, S::Values, "  --pos P            the display's wall position, 1..25 (0: none)\n"},
    {O::Enable, "enable", 0, true, kWallValues, S::Values, "  --enable on|off    wall enable (default on)\n"},
    {O::FrameComp, "frame-comp", 0, true, kWallValues, S::Values,
     "  --frame-comp on|off  frame compensation (default on, or the tiling file's)\n"},
    {O::Rgb, "rgb", 0, true, kWallValues, S::Values, "  --rgb R,G,B        colour gains, 0..255 each\n"},
    // Told of in the subcommands' own texts.
    {O::NoWait, "no-wait", 0, false, kBitSend | kBitRaw, S::Values, ""},
    {O::DryRun, "dry-run", 'n', false, kBitSend | kBitWall, S::Values, ""},
    {O::At, "at", 0, true, kBitWall, S::Values, ""},

    // What is printed.
    {O::Format, "format", 0, true, kBitTargets, S::Output,
     "  --format FORMAT    text (default), json (one document), jsonl (one object per\n"
     "                     display and line), csv, or prometheus (the text exposition\n"
     "                     format, for a textfile collector; the names are\n"
     "                     dravik-exporter's, with the read in a read label)\n"},
    {O::Format, "format", 0, true, kBitScan, S::Output,
     "  --format FORMAT    text (default), json (one document), jsonl (one object per\n"
     "                     line), csv, or prometheus-sd (Prometheus file-based service\n"
     "                     discovery JSON of the displays found, one group per model)\n"},
    {O::Format, "format", 0, true, kBitSearch | kBitCheck, S::Output,
     "  --format FORMAT    text (default), json (one document), jsonl (one object per\n"
     "                     line) or csv\n"},
    {O::Json, "json", 0, false, kBitTargets | kBitDiscovery, S::Output, "  --json             the same as --format jsonl\n"},
    {O::WriteList, "write-list", 0, true, kBitDiscovery, S::Output,
     "  --write-list FILE  also save what was found as a list file of the tool (the\n"
     "                     format of MO_IP.log / MO_ID.log)\n"},
    {O::Verbose, "verbose", 'v', false, kBitTargets, S::Output,
     "  -v, --verbose      also every frame sent (TX) and every byte received (RX), in hex\n"},
    {O::Verbose, "verbose", 'v', false, kBitDiscovery, S::Output,
     "  -v, --verbose      also the frames sent and the replies, in hex\n"},
    {O::Parallel, "parallel", 0, true, kBitTargets, S::Output,
     "  --parallel N       up to N LAN displays at once (each display one exchange at a\n"
     "                     time); the default addresses them one after the other, and an\n"
     "                     RS-232 line is always walked one display after the other\n"},
    {O::Help, "help", 'h', false, kBitEvery | kBitMain, S::Output, "  -h, --help         this text\n"},
};

constexpr std::array<std::pair<std::string_view, unsigned>, 9> kSubcommands{{
    {"frame", kBitFrame},
    {"send", kBitSend},
    {"query", kBitQuery},
    {"raw", kBitRaw},
    {"identity", kBitIdentity},
    {"wall", kBitWall},
    {"scan", kBitScan},
    {"search", kBitSearch},
    {"check", kBitCheck},
}};

// An option name echoed in an error: control bytes shown as '?', so the error stays one line.
std::string Printable(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return s;
}

template <typename Match>
const OptionDef* Find(unsigned bit, Match match) {
    const OptionDef* any = nullptr;
    for (const OptionDef& o : kOptions) {
        if (!match(o)) continue;
        if (o.where & bit) return &o;
        if (!any) any = &o;
    }
    return any;
}

}  // namespace

std::span<const OptionDef> AllOptions() { return kOptions; }

unsigned SubcommandBitOf(std::string_view name) {
    for (const auto& [n, bit] : kSubcommands)
        if (n == name) return bit;
    return 0;
}

const OptionDef* FindLongOption(std::string_view name, unsigned bit) {
    return Find(bit, [&](const OptionDef& o) { return o.name == name; });
}

const OptionDef* FindShortOption(char c, unsigned bit) {
    return Find(bit, [&](const OptionDef& o) { return c != 0 && o.shortName == c; });
}

std::string OptionHelp(HelpSection section, unsigned bit) {
    std::string text;
    for (const OptionDef& o : kOptions)
        if (o.section == section && (o.where & bit)) text += o.help;
    return text;
}

bool ReadArguments(std::span<const std::string> args, unsigned bit, std::string_view subcommand,
                   const std::function<bool(const OptionDef&, const std::string&)>& option,
                   const std::function<bool(const std::string&)>& operand, std::string& error) {
    const auto fail = [&](std::string message) {
        error = std::move(message);
        return false;
    };
    const auto take = [&](const OptionDef& def, const std::string& value) {
        if ((def.where & bit) == 0)
            return fail("--" + std::string(def.name) + " does not apply to '" + std::string(subcommand) + "'");
        return option(def, value);
    };
    bool operandsOnly = false;
    for (std::size_t i = 0; i < args.size();) {
        const std::string& arg = args[i++];
        if (operandsOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            if (!operand(arg)) return false;
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
            continue;
        }
        if (arg[1] == '-') {
            std::string_view body = std::string_view(arg).substr(2);
            std::optional<std::string> value;
            if (const auto eq = body.find('='); eq != std::string_view::npos) {
                value = std::string(body.substr(eq + 1));
                body = body.substr(0, eq);
            }
            const OptionDef* def = FindLongOption(body, bit);
            if (!def) return fail("unknown option --" + Printable(body.substr(0, 40)));
            if (def->takesValue && !value) {
                if (i >= args.size()) return fail("--" + std::string(def->name) + " needs a value");
                value = args[i++];
            }
            if (!def->takesValue && value) return fail("--" + std::string(def->name) + " takes no value");
            if (!take(*def, value.value_or(std::string()))) return false;
            continue;
        }
        // Single letters, which may be grouped (-vh); none takes a value.
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const OptionDef* def = FindShortOption(arg[k], bit);
            if (!def) {
                // A negative number (a level) given as an operand by mistake.
                if (arg[k] >= '0' && arg[k] <= '9')
                    return fail("unexpected " + Quote(arg) + "; values follow their option, as in --level -1");
                return fail("unknown option -" + Printable(arg.substr(k, 1)));
            }
            if (!take(*def, std::string())) return false;
        }
    }
    return true;
}

std::string OptionSections(unsigned bit) {
    std::string text;
    const std::pair<const char*, HelpSection> sections[] = {
        {"Displays:\n", HelpSection::Displays},
        {"Output:\n", HelpSection::Output},
        {"Values:\n", HelpSection::Values},
    };
    for (const auto& [heading, section] : sections) {
        const std::string lines = OptionHelp(section, bit);
        if (lines.empty()) continue;
        if (!text.empty()) text += '\n';
        text += heading + lines;
    }
    return text;
}

}  // namespace dravik::ctl
