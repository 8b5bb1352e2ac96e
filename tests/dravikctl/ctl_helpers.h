// Running dravikctl in-process and simulated displays for its tests. Every test uses its
// own addresses in 127.0.8.1 .. 127.0.8.250 so the tests run in parallel.
#pragma once

#include "dravikctl/dravikctl.h"
#include "support/sim_displays.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

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

using dravik::testing::Config;
using dravik::testing::StartLan;
using dravik::testing::StartLine;

// The frames a display logged, as hex without the trailing blank.
inline std::vector<std::string> Hex(const std::vector<sim::LogEntry>& log) { return dravik::testing::Frames(log); }

}  // namespace dravik::ctl::testing
