// Simulated displays for tests: one configuration builder and the starts of a LAN display
// and of a pseudo-terminal line, each failing the test (not aborting it) when the start fails.
#pragma once

#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"
#include "support/frames.h"

#include <gtest/gtest.h>

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace dravik::testing {

inline sim::DisplayConfig Config(const std::string& model, int id = 1, sim::Fault fault = sim::Fault::None,
                                 int lateMs = 0) {
    sim::DisplayConfig c;
    c.model = model;
    c.monitorId = id;
    c.fault = fault;
    c.lateMs = lateMs;
    return c;
}

inline std::unique_ptr<sim::LanDisplay> StartLan(const std::string& address, sim::DisplayConfig config) {
    auto display = std::make_unique<sim::LanDisplay>(address, std::move(config));
    std::string error;
    EXPECT_TRUE(display->start(&error)) << address << ": " << error;
    return display;
}

inline std::unique_ptr<sim::SerialLine> StartLine(std::vector<sim::DisplayConfig> displays) {
    auto line = std::make_unique<sim::SerialLine>(std::move(displays));
    std::string error;
    EXPECT_TRUE(line->start(&error)) << error;
    return line;
}

inline QString PathOf(const sim::SerialLine& line) { return QString::fromStdString(line.devicePath()); }

}  // namespace dravik::testing
