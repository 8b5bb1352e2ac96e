// What an operator sets while a walk runs, handed from the window to the running flow: the
// page posts the values as they change, the flow takes the latest right before it builds a
// frame from them. A value changed during a walk so reaches the rows still to come, and the
// flow never waits on the window to read its controls.
#pragma once

#include <mutex>
#include <optional>

namespace dravik::flows {

template <typename Values>
class Feed {
public:
    void post(const Values& values) {
        std::lock_guard lock(mutex_);
        latest_ = values;
    }
    // The latest post; none when nothing was posted since the walk started.
    std::optional<Values> latest() const {
        std::lock_guard lock(mutex_);
        return latest_;
    }

private:
    mutable std::mutex mutex_;
    std::optional<Values> latest_;
};

}  // namespace dravik::flows
