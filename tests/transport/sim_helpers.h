// Simulated displays for the transport tests: LAN displays on 127.0.4.x:5000 (each test its
// own addresses, so tests run in parallel) and pseudo-terminal lines.
#pragma once

#include "protocol/reply.h"
#include "support/sim_displays.h"

#include <QString>

#include <memory>

namespace dravik::transport::testing {

using dravik::testing::Config;

inline std::unique_ptr<sim::LanDisplay> StartLanDisplay(const std::string& address,
                                                        sim::DisplayConfig config = Config("KA-55")) {
    return dravik::testing::StartLan(address, std::move(config));
}

inline std::unique_ptr<sim::SerialLine> StartSerialLine(std::vector<sim::DisplayConfig> displays) {
    return dravik::testing::StartLine(std::move(displays));
}

inline QString Path(const sim::SerialLine& line) { return dravik::testing::PathOf(line); }

// Command byte (byte 7) of every frame a display logged, in order.
inline std::vector<int> Commands(const std::vector<sim::LogEntry>& log) {
    std::vector<int> out;
    for (const auto& e : log) {
        const auto command = protocol::Request(e.bytes).command();
        out.push_back(command ? int{*command} : -1);
    }
    return out;
}

}  // namespace dravik::transport::testing
