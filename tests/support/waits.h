// Bounded waits for tests: the window thread keeps taking events while a condition is awaited.
#pragma once

#include <QTest>

#include <chrono>
#include <functional>

namespace dravik::testing {

// Runs the event loop until `done` holds or `limit` passes; true when it held.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    return QTest::qWaitFor(done, static_cast<int>(limit.count()));
}

}  // namespace dravik::testing
