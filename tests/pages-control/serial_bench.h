// The RS-232 tests' page: a pseudo-terminal line with simulated displays, found by the
// page's port search.
#pragma once

#include "flow_helpers.h"
#include "page_harness.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace dravik::pages::testing {

// A page in RS-232 mode whose port search found the line, with the port opened (or not).
struct SerialBench {
    explicit SerialBench(std::vector<sim::DisplayConfig> displays, bool open = true)
        : line(StartLine(std::move(displays))), h(Options(*line)) {
        h.toRs232();
        if (open) {
            h.press(1126);
            EXPECT_TRUE(h.page->serialPort().isOpen()) << h.feedback.messages.join("|").toStdString();
        }
    }
    static HarnessOptions Options(const sim::SerialLine& line) {
        HarnessOptions o;
        o.ports = {PathOf(line)};
        return o;
    }
    // The frames of the next `count` writes (waited for), taken off the line's log.
    std::vector<std::string> frames(std::size_t count) {
        line->waitForLog(count, std::chrono::seconds(3));
        auto f = Frames(line->log());
        line->clearLog();
        return f;
    }
    std::unique_ptr<sim::SerialLine> line;
    PageHarness h;
};

}  // namespace dravik::pages::testing
