// Options of the dravik-display-sim command.
#pragma once

#include "display-sim/display.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace dravik::sim {

struct DisplaySetup {
    DisplayConfig config;
    std::optional<int> temperature;
    std::optional<int> hours;
};

struct LanEntry {
    std::string address;
    std::uint16_t port = 5000;
    DisplaySetup display;
};

struct SerialEntry {
    std::vector<DisplaySetup> displays;
};

struct CommandLine {
    std::vector<LanEntry> lan;
    std::vector<SerialEntry> serial;
    bool allowAnyAddress = false;
    bool quiet = false;
    bool logFrames = false;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. False with a one-line reason on a usage
// error, including a LAN address outside 127.0.0.0/8 without --allow-any-address.
bool ParseCommandLine(std::span<const std::string> args, CommandLine& out, std::string& error);

std::string UsageText();

}  // namespace dravik::sim
