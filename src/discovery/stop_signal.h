// A one-way stop flag that sleeping threads notice at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dravik::discovery {

class StopSignal {
public:
    void Stop();
    bool Stopped() const { return stopped_.load(std::memory_order_acquire); }
    // Sleeps for `duration`; true when the whole time passed, false as soon as Stop() is called.
    bool SleepFor(std::chrono::milliseconds duration) const;
    // The same up to a point on the monotonic clock (at once when it has passed).
    bool SleepUntil(std::chrono::steady_clock::time_point deadline) const;

private:
    std::atomic<bool> stopped_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
};

// Socket waits are cut into slices of this length so a stop is seen quickly.
inline constexpr std::chrono::milliseconds kStopSlice{50};

}  // namespace dravik::discovery
