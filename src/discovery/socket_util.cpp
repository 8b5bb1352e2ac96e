#include "discovery/socket_util.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace dravik::discovery::detail {

bool UniqueFd::Close() {
    if (fd_ < 0) return true;
    // Linux releases the descriptor even when close() fails: never retry it.
    const int result = ::close(std::exchange(fd_, -1));
    return result == 0 || errno == EINTR;
}

WaitResult WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline, const StopSignal& stop) {
    using namespace std::chrono;
    for (;;) {
        if (stop.Stopped()) return WaitResult::Stopped;
        const auto now = steady_clock::now();
        if (now >= deadline) return WaitResult::TimedOut;
        const auto slice = std::min(ceil<milliseconds>(deadline - now), kStopSlice);
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(slice.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            return WaitResult::Failed;
        }
        // Errors and hang-ups count as ready too: the read that follows reports them.
        if (ready > 0) return WaitResult::Ready;
    }
}

}  // namespace dravik::discovery::detail
