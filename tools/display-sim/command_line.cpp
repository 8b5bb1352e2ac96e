#include "display-sim/command_line.h"

#include "display-sim/lan_display.h"

#include <charconv>
#include <string_view>

namespace dravik::sim {

namespace {

constexpr int kDefaultLateMs = 4000;

bool ParseInt(std::string_view text, int lo, int hi, int& out) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi) return false;
    out = v;
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const auto pos = text.find(sep);
        parts.push_back(text.substr(0, pos));
        if (pos == std::string_view::npos) return parts;
        text.remove_prefix(pos + 1);
    }
}

// "KIND" or "late:MS", or "random" (the odds and seed given so far).
bool ParseFault(std::string_view text, DisplayConfig& config, std::string& error) {
    if (text == "random") {
        config.random.enabled = true;
        return true;
    }
    const auto colon = text.find(':');
    const auto kind = FaultFromName(text.substr(0, colon));
    if (!kind) {
        error = "unknown fault '" + std::string(text.substr(0, colon)) +
                "' (none, never, late, wrong-header, short, nack, nav, long, close, random)";
        return false;
    }
    int ms = *kind == Fault::AnswerLate ? kDefaultLateMs : 0;
    if (colon != std::string_view::npos) {
        if (*kind != Fault::AnswerLate) {
            error = "only the fault 'late' takes milliseconds: " + std::string(text);
            return false;
        }
        if (!ParseInt(text.substr(colon + 1), 0, 600000, ms)) {
            error = "bad milliseconds in '" + std::string(text) + "'";
            return false;
        }
    }
    config.fault = *kind;
    config.lateMs = ms;
    config.random.enabled = false;
    return true;
}

// "KIND[:MS]=WEIGHT,...": "well" stands for "none"; MS only for late (default 4000).
bool ParseOdds(std::string_view text, std::vector<FaultOdds>& odds, std::string& error) {
    odds.clear();
    int total = 0;
    for (std::string_view item : Split(text, ',')) {
        const auto eq = item.find('=');
        FaultOdds o;
        if (eq == std::string_view::npos || !ParseInt(item.substr(eq + 1), 0, 1000000, o.weight)) {
            error = "--odds wants KIND[:MS]=WEIGHT[,...] with weights 0..1000000: '" + std::string(item) + "'";
            return false;
        }
        std::string_view kind = item.substr(0, eq);
        if (kind == "well") kind = "none";
        DisplayConfig probe;
        if (kind == "random" || !ParseFault(kind, probe, error)) {
            if (error.empty()) error = "random is not one of the odds";
            return false;
        }
        o.fault = probe.fault;
        o.lateMs = probe.lateMs;
        total += o.weight;
        if (total > 1000000) {
            error = "--odds weights add up to more than 1000000";
            return false;
        }
        odds.push_back(o);
    }
    if (total == 0) {
        error = "--odds weights add up to 0";
        return false;
    }
    return true;
}

// Cuts a trailing "@FAULT[:MS]" off `text` into `setup`.
bool TakeFaultSuffix(std::string_view& text, DisplaySetup& setup, std::string& error) {
    const auto at = text.find('@');
    if (at == std::string_view::npos) return true;
    const auto fault = text.substr(at + 1);
    text = text.substr(0, at);
    return ParseFault(fault, setup.config, error);
}

bool ParseId(std::string_view text, DisplayConfig& config, std::string& error) {
    if (!ParseInt(text, 0, 255, config.monitorId)) {
        error = "monitor ID must be 0..255: '" + std::string(text) + "'";
        return false;
    }
    return true;
}

// ADDRESS[:PORT],MODEL[,ID][@FAULT[:MS]]
bool ParseLan(std::string_view text, const DisplaySetup& defaults, LanEntry& entry, std::string& error) {
    entry.display = defaults;
    if (!TakeFaultSuffix(text, entry.display, error)) return false;
    const auto parts = Split(text, ',');
    if (parts.size() < 2 || parts.size() > 3 || parts[1].empty()) {
        error = "--lan wants ADDRESS[:PORT],MODEL[,ID]: '" + std::string(text) + "'";
        return false;
    }
    const auto colon = parts[0].find(':');
    entry.address = std::string(parts[0].substr(0, colon));
    if (colon != std::string_view::npos) {
        int port = 0;
        if (!ParseInt(parts[0].substr(colon + 1), 1, 65535, port)) {
            error = "bad port in '" + std::string(parts[0]) + "'";
            return false;
        }
        entry.port = static_cast<std::uint16_t>(port);
    }
    entry.display.config.model = std::string(parts[1]);
    if (parts.size() == 3 && !ParseId(parts[2], entry.display.config, error)) return false;
    entry.display.config.random.stream = "lan " + entry.address + ":" + std::to_string(entry.port) + " " +
                                         std::to_string(entry.display.config.monitorId);
    return true;
}

// MODEL:ID[@FAULT[:MS]][,MODEL:ID...]
bool ParseSerial(std::string_view text, const DisplaySetup& defaults, std::size_t line, SerialEntry& entry,
                 std::string& error) {
    for (std::string_view item : Split(text, ',')) {
        DisplaySetup setup = defaults;
        if (!TakeFaultSuffix(item, setup, error)) return false;
        const auto colon = item.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            error = "--serial wants MODEL:ID[,MODEL:ID...]: '" + std::string(item) + "'";
            return false;
        }
        setup.config.model = std::string(item.substr(0, colon));
        if (!ParseId(item.substr(colon + 1), setup.config, error)) return false;
        setup.config.random.stream = "serial " + std::to_string(line) + " " + std::to_string(entry.displays.size()) +
                                     " " + std::to_string(setup.config.monitorId);
        entry.displays.push_back(std::move(setup));
    }
    return true;
}

}  // namespace

bool ParseCommandLine(std::span<const std::string> args, CommandLine& out, std::string& error) {
    out = CommandLine{};
    DisplaySetup defaults;  // the settings given so far, for the displays that follow
    bool settingPending = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string_view& v) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string_view v;
        int n = 0;

        if (arg == "--help" || arg == "-h") {
            out.help = true;
            return true;
        } else if (arg == "--allow-any-address") {
            out.allowAnyAddress = true;
        } else if (arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "--log") {
            out.logFrames = true;
        } else if (arg == "--lan") {
            if (!value(v)) return false;
            LanEntry entry;
            if (!ParseLan(v, defaults, entry, error)) return false;
            out.lan.push_back(std::move(entry));
            settingPending = false;
        } else if (arg == "--serial") {
            if (!value(v)) return false;
            SerialEntry entry;
            if (!ParseSerial(v, defaults, out.serial.size(), entry, error)) return false;
            out.serial.push_back(std::move(entry));
            settingPending = false;
        } else if (arg == "--fault") {
            if (!value(v) || !ParseFault(v, defaults.config, error)) return false;
            settingPending = true;
        } else if (arg == "--seed") {
            std::uint64_t seed = 0;
            if (!value(v)) return false;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seed);
            if (ec != std::errc() || end != v.data() + v.size()) {
                error = "--seed wants a whole number 0..18446744073709551615";
                return false;
            }
            defaults.config.random.seed = seed;
            settingPending = true;
        } else if (arg == "--odds") {
            if (!value(v) || !ParseOdds(v, defaults.config.random.odds, error)) return false;
            settingPending = true;
        } else if (arg == "--version") {
            out.version = true;
            return true;
        } else if (arg == "--maker-prefix") {
            defaults.config.makerPrefix = true;
            settingPending = true;
        } else if (arg == "--identity") {
            if (!value(v)) return false;
            if (v == "a1") defaults.config.identity = IdentityStyle::A1;
            else if (v == "a2") defaults.config.identity = IdentityStyle::A2;
            else if (v == "auto") defaults.config.identity = IdentityStyle::Auto;
            else {
                error = "--identity wants a1, a2 or auto";
                return false;
            }
            settingPending = true;
        } else if (arg == "--tag") {
            if (!value(v)) return false;
            defaults.config.familyTag = std::string(v);
            settingPending = true;
        } else if (arg == "--strict-id") {
            defaults.config.answerAnyId = false;
            settingPending = true;
        } else if (arg == "--temperature") {
            if (!value(v) || !ParseInt(v, -128, 127, n)) {
                if (error.empty()) error = "--temperature wants -128..127";
                return false;
            }
            defaults.temperature = n;
            settingPending = true;
        } else if (arg == "--hours") {
            if (!value(v) || !ParseInt(v, 0, 65535, n)) {
                if (error.empty()) error = "--hours wants 0..65535";
                return false;
            }
            defaults.hours = n;
            settingPending = true;
        } else {
            error = "unknown option '" + arg + "' (see --help)";
            return false;
        }
    }

    if (settingPending) {
        error = "display settings apply to the --lan/--serial displays that follow them; none follows";
        return false;
    }
    if (out.lan.empty() && out.serial.empty()) {
        error = "nothing to simulate: give --lan or --serial (see --help)";
        return false;
    }
    for (const auto& entry : out.lan) {
        if (!IsLoopbackAddress(entry.address) && !out.allowAnyAddress) {
            error = "refusing " + entry.address + ": not in 127.0.0.0/8 (--allow-any-address for a real bench)";
            return false;
        }
    }
    return true;
}

std::string UsageText() {
    return R"(Usage: dravik-display-sim [OPTION]... DISPLAY...

Simulated displays that answer the Dravik Command Tool over LAN (TCP) and over a
serial line (a pseudo-terminal). Runs until interrupted (Ctrl+C or SIGTERM).

Displays:
  --lan ADDRESS[:PORT],MODEL[,ID][@FAULT[:MS]]
        one display listening on ADDRESS, port 5000 unless PORT is given; ID is
        its monitor ID (default 1). Over LAN it answers every frame, whatever
        monitor ID the frame carries (see --strict-id). Repeat for more displays,
        each on its own address (127.0.0.2, 127.0.0.3, ...).
  --serial MODEL:ID[@FAULT[:MS]][,MODEL:ID...]
        one serial line shared by the listed displays; each answers only frames
        with its own monitor ID. Prints "serial: PATH" on a line of its own:
        open PATH in the tool as the serial port. Repeat for more lines.

Settings for the displays given after them on the command line:
  --fault KIND[:MS]   misbehave on purpose; @KIND[:MS] after one display sets
                      it for that display alone. KIND is one of
                        none          answer normally
                        never         take frames, never answer
                        late[:MS]     answer after MS milliseconds (default 4000)
                        wrong-header  replies start with 12 instead of 21
                        short         data answers come back as acknowledges
                        nack          refuse every frame (status 3)
                        nav           refuse every frame (status 4)
                        long          replies padded past 32 (LAN) / 128
                                      (serial) bytes
                        close         LAN: close each connection at once;
                                      serial: like never
                        random        each frame answered well or by one of
                                      the faults above, drawn with --odds from
                                      a generator of the display's own seeded
                                      by --seed: the same seed and the same
                                      frames give the same answers again
                                      (a drawn close closes the connection
                                      instead of answering)
  --seed N            seed of the random faults (default 1); each display
                      mixes in where it is (address, port and ID; line and
                      place on the line), so displays do not share draws
  --odds KIND[:MS]=WEIGHT[,...]
                      odds of the random faults; "well" is "none", MS only
                      for late. Default: well=70,never=5,late:4000=5,
                      wrong-header=4,short=4,nack=4,nav=4,long=2,close=2
  --maker-prefix      model names are answered as "ORVANTE MODEL"
  --identity a1|a2|auto
                      a1: the A2 01 query answers a family tag (LM, JSV-Q,
                      KA-xxQ, ORV) and A1 00 the model; a2: both answer the
                      model; auto (default): a1 for LM-, JSV- and KA-..Q models
  --tag TEXT          the family tag of the a1 form instead of the derived one
  --strict-id         LAN: answer only frames with the display's own monitor ID
  --temperature N     temperature reading, -128..127 degrees C (default 32)
  --hours N           operating hours, 0..65535 (default 1200)

Other options:
  --allow-any-address listen on addresses outside 127.0.0.0/8 (a real bench);
                      refused otherwise
  --log               print each frame received as it arrives
  --quiet             print only the "serial: PATH" lines and errors
  -h, --help          show this help and exit
  --version           print the version and exit

Exit status: 0 after SIGINT/SIGTERM, 1 if a display cannot start (address in
use, no pseudo-terminal), 2 on a usage error.

Example:
  dravik-display-sim --lan 127.0.0.2,LM-55,1 --fault nack --lan 127.0.0.3,KA-55,2 \
      --serial LM-55:1,KC-46D:2@late:1500
  dravik-display-sim --fault random --seed 42 --odds well=90,never=5,late:800=5 \
      --lan 127.0.0.2,LM-55,1 --serial KA-55:1,KA-55:2
)";
}

}  // namespace dravik::sim
