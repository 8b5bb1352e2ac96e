#include "discovery/stop_signal.h"

namespace dravik::discovery {

void StopSignal::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_.store(true, std::memory_order_release);
    }
    changed_.notify_all();
}

bool StopSignal::SleepFor(std::chrono::milliseconds duration) const {
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return Stopped(); });
}

bool StopSignal::SleepUntil(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock lock(mutex_);
    return !changed_.wait_until(lock, deadline, [this] { return Stopped(); });
}

}  // namespace dravik::discovery
