// Small POSIX socket helpers shared by the presence probe and the identity client.
#pragma once

#include "discovery/stop_signal.h"

#include <chrono>
#include <utility>

namespace dravik::discovery::detail {

// Owns one file descriptor and closes it on every path.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Close(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    // False when close() itself reported an error (the descriptor is gone either way).
    bool Close();

private:
    int fd_ = -1;
};

enum class WaitResult { Ready, TimedOut, Stopped, Failed };

// Waits until `fd` shows one of `events` (poll flags), the deadline passes or the stop
// signal is raised; polls in kStopSlice slices.
WaitResult WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline, const StopSignal& stop);

}  // namespace dravik::discovery::detail
