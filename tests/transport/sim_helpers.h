// Simulated displays for the transport tests: LAN displays on 127.0.4.x:5000 (each test its
// own addresses, so tests run in parallel) and pseudo-terminal lines.
#pragma once

#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"

#include <gtest/gtest.h>

#include <QString>

#include <memory>

namespace dravik::transport::testing {

inline sim::DisplayConfig Config(const std::string& model, int id = 1, sim::Fault fault = sim::Fault::None,
                                 int lateMs = 0) {
    sim::DisplayConfig c;
    c.model = model;
    c.monitorId = id;
    c.fault = fault;
    c.lateMs = lateMs;
    return c;
}

inline std::unique_ptr<sim::LanDisplay> StartLanDisplay(const std::string& address,
                                                        sim::DisplayConfig config = Config("KA-55")) {
    auto display = std::make_unique<sim::LanDisplay>(address, std::move(config));
    std::string error;
    EXPECT_TRUE(display->start(&error)) << address << ": " << error;
    return display;
}

inline std::unique_ptr<sim::SerialLine> StartSerialLine(std::vector<sim::DisplayConfig> displays) {
    auto line = std::make_unique<sim::SerialLine>(std::move(displays));
    std::string error;
    EXPECT_TRUE(line->start(&error)) << error;
    return line;
}

inline QString Path(const sim::SerialLine& line) { return QString::fromStdString(line.devicePath()); }

// Command byte (byte 7) of every frame a display logged, in order.
inline std::vector<int> Commands(const std::vector<sim::LogEntry>& log) {
    std::vector<int> out;
    for (const auto& e : log) out.push_back(e.bytes.size() > 7 ? e.bytes[7] : -1);
    return out;
}

}  // namespace dravik::transport::testing
