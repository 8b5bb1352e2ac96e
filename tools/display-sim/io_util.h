// Small pieces shared by the LAN and serial loops: a wake-up pipe for poll() and a queue
// of replies that go out at a given time. Internal to the simulator.
#pragma once

#include "protocol/frame.h"

#include <chrono>
#include <deque>
#include <optional>

namespace dravik::sim::detail {

using Clock = std::chrono::steady_clock;

// Lets another thread interrupt a poll(): stop() writes one byte.
class WakePipe {
public:
    WakePipe() = default;
    WakePipe(const WakePipe&) = delete;
    WakePipe& operator=(const WakePipe&) = delete;
    ~WakePipe() { close(); }

    bool open();
    void close();
    int readFd() const { return fds_[0]; }
    void notify();
    void drain();

private:
    int fds_[2] = {-1, -1};
};

// Replies waiting for their time, then bytes waiting for the descriptor to take them.
// Replies keep their order even when a later one has a shorter delay.
class Outbox {
public:
    // Bytes beyond this are dropped rather than kept for a peer that never reads.
    static constexpr std::size_t kMaxBuffered = 64 * 1024;

    void schedule(protocol::Bytes bytes, std::chrono::milliseconds delay, Clock::time_point now);
    // Moves the replies that are due into the write buffer.
    void promote(Clock::time_point now);
    std::optional<Clock::time_point> nextDue() const;
    bool wantsWrite() const { return !buffer_.empty(); }
    bool idle() const { return buffer_.empty() && pending_.empty(); }
    // Writes what the descriptor takes without blocking; false on a hard error.
    bool flush(int fd, bool socket);
    void clear();

private:
    struct Pending {
        Clock::time_point due;
        protocol::Bytes bytes;
    };
    std::deque<Pending> pending_;
    protocol::Bytes buffer_;
};

bool SetNonBlocking(int fd);

// Milliseconds from now until `until`, for poll(): 0 when past, capped at `cap`.
int PollTimeout(std::optional<Clock::time_point> until, Clock::time_point now, int cap);

}  // namespace dravik::sim::detail
