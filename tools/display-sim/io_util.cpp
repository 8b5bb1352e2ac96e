#include "display-sim/io_util.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dravik::sim::detail {

bool WakePipe::open() {
    close();
    return ::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) == 0;
}

void WakePipe::close() {
    for (int& fd : fds_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void WakePipe::notify() {
    if (fds_[1] < 0) return;
    const char b = 1;
    [[maybe_unused]] const auto n = ::write(fds_[1], &b, 1);  // a full pipe already wakes
}

void WakePipe::drain() {
    char buf[64];
    while (fds_[0] >= 0 && ::read(fds_[0], buf, sizeof buf) > 0) {
    }
}

void Outbox::schedule(protocol::Bytes bytes, std::chrono::milliseconds delay, Clock::time_point now) {
    Clock::time_point due = now + delay;
    if (!pending_.empty()) due = std::max(due, pending_.back().due);
    pending_.push_back({due, std::move(bytes)});
}

void Outbox::promote(Clock::time_point now) {
    while (!pending_.empty() && pending_.front().due <= now) {
        auto& bytes = pending_.front().bytes;
        if (buffer_.size() + bytes.size() <= kMaxBuffered) buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
        pending_.pop_front();
    }
}

std::optional<Clock::time_point> Outbox::nextDue() const {
    if (pending_.empty()) return std::nullopt;
    return pending_.front().due;
}

bool Outbox::flush(int fd, bool socket) {
    while (!buffer_.empty()) {
        const ssize_t n = socket ? ::send(fd, buffer_.data(), buffer_.size(), MSG_NOSIGNAL)
                                 : ::write(fd, buffer_.data(), buffer_.size());
        if (n > 0) {
            buffer_.erase(buffer_.begin(), buffer_.begin() + n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        return false;
    }
    return true;
}

void Outbox::clear() {
    pending_.clear();
    buffer_.clear();
}

bool SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int PollTimeout(std::optional<Clock::time_point> until, Clock::time_point now, int cap) {
    if (!until) return cap;
    if (*until <= now) return 0;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*until - now).count() + 1;
    return static_cast<int>(std::min<long long>(ms, cap));
}

}  // namespace dravik::sim::detail
