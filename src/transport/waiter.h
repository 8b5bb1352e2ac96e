// Waiting on the monotonic clock. A flow's waits run to their deadline in one sleep, so the
// wall time of a flow is the sum of its waits plus the exchanges, not a count of short steps
// that each overshoot. Meant for the worker thread that runs the flows: no events are
// processed here, the window thread never calls these.
#pragma once

#include <QDeadlineTimer>

#include <chrono>

namespace dravik::transport {

using Millis = std::chrono::milliseconds;

// Sleeps until `ms` have passed on the monotonic clock; 0 or less returns at once.
void WaitFor(Millis ms);
// Sleeps until the deadline; an expired deadline returns at once, a Forever one is refused
// (returns at once) rather than hanging the thread.
void WaitUntil(QDeadlineTimer deadline);

// What a flow and a link wait on. The real one sleeps; tests give a VirtualClock so that a
// flow of many seconds' waits runs at once and the waits can be read back.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void wait(Millis ms) = 0;
};

class SteadyClock final : public Clock {
public:
    void wait(Millis ms) override { WaitFor(ms); }
};

// The process-wide real clock.
Clock& RealClock();

// Time that passes only by wait(): now() is the sum of every wait so far.
class VirtualClock final : public Clock {
public:
    void wait(Millis ms) override {
        if (ms > Millis{0}) now_ += ms;
    }
    Millis now() const { return now_; }
    void reset() { now_ = Millis{0}; }

private:
    Millis now_{0};
};

}  // namespace dravik::transport
