#include "transport/waiter.h"

#include <thread>

namespace dravik::transport {

void WaitFor(Millis ms) {
    if (ms <= Millis{0}) return;
    WaitUntil(QDeadlineTimer(ms, Qt::PreciseTimer));
}

void WaitUntil(QDeadlineTimer deadline) {
    if (deadline.isForever()) return;
    // One sleep to the deadline; the loop only covers an early wake-up.
    for (;;) {
        const qint64 left = deadline.remainingTimeNSecs();
        if (left <= 0) return;
        std::this_thread::sleep_for(std::chrono::nanoseconds(left));
    }
}

Clock& RealClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace dravik::transport
