// Running dravikctl in-process and simulated displays for its tests. Every test uses its
// own addresses in 127.0.8.1 .. 127.0.8.250 so the tests run in parallel.
#pragma once

#include "display-sim/lan_display.h"
#include "display-sim/serial_line.h"
#include "dravikctl/dravikctl.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace dravik::ctl::testing {

struct CtlRun {
    int status = -1;
    std::string out;
    std::string err;

    std::vector<std::string> lines() const {
        std::vector<std::string> v;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) v.push_back(line);
        return v;
    }
    int errLines() const {
        int n = 0;
        for (char c : err) n += c == '\n';
        return n;
    }
    // One JSON object per line of standard output; an empty object for a line that does
    // not parse (the test then fails on its fields).
    std::vector<QJsonObject> json() const {
        std::vector<QJsonObject> v;
        for (const std::string& line : lines()) {
            QJsonParseError error{};
            const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
            EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
            v.push_back(doc.object());
        }
        return v;
    }
};

inline CtlRun Ctl(std::vector<std::string> args) {
    std::ostringstream out, err;
    CtlRun o;
    o.status = Main(args, out, err);
    o.out = out.str();
    o.err = err.str();
    return o;
}

inline sim::DisplayConfig Config(const std::string& model, int id = 1, sim::Fault fault = sim::Fault::None) {
    sim::DisplayConfig c;
    c.model = model;
    c.monitorId = id;
    c.fault = fault;
    return c;
}

inline std::unique_ptr<sim::LanDisplay> StartLan(const std::string& address, sim::DisplayConfig config) {
    auto d = std::make_unique<sim::LanDisplay>(address, std::move(config));
    std::string error;
    EXPECT_TRUE(d->start(&error)) << address << ": " << error;
    return d;
}

inline std::unique_ptr<sim::SerialLine> StartLine(std::vector<sim::DisplayConfig> displays) {
    auto line = std::make_unique<sim::SerialLine>(std::move(displays));
    std::string error;
    EXPECT_TRUE(line->start(&error)) << error;
    return line;
}

inline std::vector<std::string> Hex(const std::vector<sim::LogEntry>& log) {
    std::vector<std::string> v;
    for (const auto& e : log) {
        std::string h = e.hex;
        while (!h.empty() && h.back() == ' ') h.pop_back();
        v.push_back(h);
    }
    return v;
}

}  // namespace dravik::ctl::testing
