#include "display-sim/serial_line.h"

#include "display-sim/frame_reader.h"
#include "protocol/reply.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace dravik::sim {

using detail::Clock;

namespace {

constexpr auto kPartialTimeout = std::chrono::milliseconds(500);

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

SerialLine::SerialLine(std::vector<DisplayConfig> displays) {
    for (auto& config : displays) displays_.push_back(std::make_unique<Display>(std::move(config)));
}

SerialLine::~SerialLine() { stop(); }

Display* SerialLine::display(int monitorId) {
    for (auto& d : displays_)
        if (d->monitorId() == static_cast<Byte>(monitorId & 0xFF)) return d.get();
    return nullptr;
}

void SerialLine::closeAll() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
    wake_.close();
}

bool SerialLine::start(std::string* error) {
    const auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        closeAll();
        path_.clear();
        return false;
    };
    if (running()) return true;

    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) return fail(ErrnoText("posix_openpt"));
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return fail(ErrnoText("grantpt/unlockpt"));
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0) return fail(ErrnoText("ptsname"));
    path_ = name;

    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) return fail(ErrnoText(("open " + path_).c_str()));
    // Raw: no echo, no line editing, no CR/LF mapping; binary frames pass untouched.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) return fail(ErrnoText("tcgetattr"));
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) return fail(ErrnoText("tcsetattr"));
    if (!detail::SetNonBlocking(master_)) return fail(ErrnoText("fcntl"));
    if (!wake_.open()) return fail(ErrnoText("pipe"));

    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void SerialLine::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    wake_.notify();
    thread_.join();
    closeAll();
}

void SerialLine::run() {
    FrameReader reader;
    detail::Outbox outbox;
    auto lastByte = Clock::now();

    const auto handle = [&](ReceivedFrame frame) {
        LogEntry entry;
        entry.time = std::chrono::system_clock::now();
        entry.where = path_;
        const protocol::Request request(frame.bytes);
        entry.addressedId = request.monitorId() ? int{*request.monitorId()} : -1;
        entry.hex = protocol::HexSpaced(frame.bytes);
        entry.checksumOk = frame.valid;
        entry.problem = frame.problem;
        entry.bytes = std::move(frame.bytes);
        if (entry.checksumOk) {
            bool heard = false;
            // Displays sharing an ID all answer, as they would on a real line.
            for (auto& d : displays_) {
                if (request.monitorId() != d->monitorId()) continue;
                heard = true;
                Reply reply = d->respond(entry.bytes, Link::Serial);
                if (entry.note.empty()) entry.note = reply.note;
                if (reply.bytes.empty()) continue;
                if (!entry.answered) entry.displayId = d->monitorId();
                entry.answered = true;
                outbox.schedule(std::move(reply.bytes), reply.delay, Clock::now());
            }
            if (!heard) entry.note = "no display with ID " + std::to_string(entry.addressedId);
        }
        log_.add(std::move(entry));
    };

    bool hungUp = false;
    while (!stopping_) {
        auto now = Clock::now();
        outbox.promote(now);
        if (outbox.wantsWrite() && !outbox.flush(master_, false)) outbox.clear();
        if (reader.hasPartial() && now - lastByte >= kPartialTimeout) {
            while (auto f = reader.flushPartial()) handle(std::move(*f));
        }

        std::optional<Clock::time_point> wakeAt = outbox.nextDue();
        if (reader.hasPartial()) {
            const auto t = lastByte + kPartialTimeout;
            if (!wakeAt || t < *wakeAt) wakeAt = t;
        }
        pollfd fds[2] = {{wake_.readFd(), POLLIN, 0}, {master_, 0, 0}};
        // After a hang-up poll() would report the master at once, again and again: leave it
        // out for one short round instead of spinning.
        if (!hungUp) fds[1].events = static_cast<short>(POLLIN | (outbox.wantsWrite() ? POLLOUT : 0));
        const int timeout = hungUp ? 50 : detail::PollTimeout(wakeAt, now, 1000);
        hungUp = false;
        const int ready = ::poll(fds, fds[1].events ? 2 : 1, timeout);
        if (ready < 0 && errno != EINTR) break;
        if (stopping_) break;
        if (ready <= 0) continue;
        if (fds[0].revents) wake_.drain();

        if (fds[1].revents & POLLIN) {
            Byte buf[512];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                lastByte = Clock::now();
                reader.feed(std::span<const Byte>(buf, static_cast<std::size_t>(n)));
                while (auto f = reader.next()) handle(std::move(*f));
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                hungUp = true;
            }
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            hungUp = true;
        }
        outbox.promote(Clock::now());
        if (outbox.wantsWrite() && !outbox.flush(master_, false)) outbox.clear();
    }
}

}  // namespace dravik::sim
