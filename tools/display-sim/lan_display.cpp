#include "display-sim/lan_display.h"

#include "protocol/reply.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dravik::sim {

using detail::Clock;

namespace {

// Bytes of a frame that stop coming are given up after this long and logged as bad.
constexpr auto kPartialTimeout = std::chrono::milliseconds(500);
// A connection that shows no life for this long is closed (the tool's own waits are seconds).
constexpr auto kIdleTimeout = std::chrono::seconds(60);
constexpr std::size_t kMaxConnections = 64;

std::string ErrnoText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

bool IsLoopbackAddress(std::string_view address) {
    in_addr a{};
    const std::string text(address);
    if (::inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
    return (ntohl(a.s_addr) >> 24) == 127;
}

struct LanDisplay::Connection {
    int fd = -1;
    FrameReader reader;
    detail::Outbox outbox;
    Clock::time_point lastActivity;
    Clock::time_point lastByte;
    bool peerClosed = false;
    bool broken = false;
};

LanDisplay::LanDisplay(std::string address, DisplayConfig config, std::uint16_t port)
    : address_(std::move(address)), port_(port), display_(std::move(config)) {}

LanDisplay::~LanDisplay() { stop(); }

std::string LanDisplay::endpoint() const { return address_ + ":" + std::to_string(port_); }

bool LanDisplay::start(std::string* error) {
    const auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        wake_.close();
        return false;
    };
    if (running()) return true;

    in_addr a{};
    if (::inet_pton(AF_INET, address_.c_str(), &a) != 1) return fail("not an IPv4 address: " + address_);
    if (!allowAnyAddress_ && !IsLoopbackAddress(address_))
        return fail("refusing " + address_ + ": outside 127.0.0.0/8 (allow any address for a real bench)");

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return fail(ErrnoText("socket"));
    const int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port_);
    sa.sin_addr = a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0)
        return fail(ErrnoText(("bind " + endpoint()).c_str()));
    if (::listen(listenFd_, 16) != 0) return fail(ErrnoText("listen"));
    socklen_t len = sizeof sa;
    if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&sa), &len) == 0) port_ = ntohs(sa.sin_port);
    if (!wake_.open()) return fail(ErrnoText("pipe"));

    stopping_ = false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void LanDisplay::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    wake_.notify();
    thread_.join();
    ::close(listenFd_);
    listenFd_ = -1;
    wake_.close();
}

void LanDisplay::handleFrame(Connection& c, ReceivedFrame frame) {
    LogEntry entry;
    entry.time = std::chrono::system_clock::now();
    entry.where = endpoint();
    const protocol::Request request(frame.bytes);
    entry.addressedId = request.monitorId() ? int{*request.monitorId()} : -1;
    entry.hex = protocol::HexSpaced(frame.bytes);
    entry.checksumOk = frame.valid;
    entry.problem = frame.problem;
    entry.bytes = std::move(frame.bytes);

    if (entry.checksumOk) {
        const DisplayConfig config = display_.config();
        const Byte id = static_cast<Byte>(config.monitorId & 0xFF);
        if (!config.answerAnyId && request.monitorId() != id) {
            entry.note = "addressed to another ID";
        } else {
            Reply reply = display_.respond(entry.bytes, Link::Lan);
            entry.note = reply.note;
            if (reply.closeConnection) c.broken = true;
            if (!reply.bytes.empty()) {
                entry.answered = true;
                entry.displayId = id;
                c.outbox.schedule(std::move(reply.bytes), reply.delay, Clock::now());
            }
        }
    }
    log_.add(std::move(entry));
}

void LanDisplay::run() {
    std::vector<std::unique_ptr<Connection>> conns;
    std::vector<pollfd> fds;

    while (!stopping_) {
        auto now = Clock::now();
        std::optional<Clock::time_point> wakeAt;
        const auto earliest = [&](Clock::time_point t) {
            if (!wakeAt || t < *wakeAt) wakeAt = t;
        };

        for (auto& c : conns) {
            c->outbox.promote(now);
            if (c->outbox.wantsWrite() && !c->outbox.flush(c->fd, true)) c->broken = true;
            if (c->reader.hasPartial() && now - c->lastByte >= kPartialTimeout) {
                while (auto f = c->reader.flushPartial()) handleFrame(*c, std::move(*f));
            }
            if (now - c->lastActivity >= kIdleTimeout) c->broken = true;
        }
        std::erase_if(conns, [](const std::unique_ptr<Connection>& c) {
            const bool done = c->broken || (c->peerClosed && c->outbox.idle());
            if (done) ::close(c->fd);
            return done;
        });

        fds.clear();
        fds.push_back({wake_.readFd(), POLLIN, 0});
        fds.push_back({listenFd_, static_cast<short>(conns.size() < kMaxConnections ? POLLIN : 0), 0});
        for (auto& c : conns) {
            short events = c->peerClosed ? 0 : POLLIN;
            if (c->outbox.wantsWrite()) events |= POLLOUT;
            fds.push_back({c->fd, events, 0});
            if (auto due = c->outbox.nextDue()) earliest(*due);
            if (c->reader.hasPartial()) earliest(c->lastByte + kPartialTimeout);
            earliest(c->lastActivity + kIdleTimeout);
        }

        const int timeout = detail::PollTimeout(wakeAt, now, 1000);
        const int ready = ::poll(fds.data(), fds.size(), timeout);
        if (ready < 0 && errno != EINTR) break;
        if (stopping_) break;
        if (ready <= 0) continue;
        if (fds[0].revents) wake_.drain();
        now = Clock::now();

        // Connections accepted below are not in `fds` yet; walk only the polled ones.
        const std::size_t polled = conns.size();
        for (std::size_t i = 0; i < polled; ++i) {
            Connection& c = *conns[i];
            const short rev = fds[i + 2].revents;
            if (c.peerClosed) {
                if (rev & (POLLHUP | POLLERR)) c.broken = true;  // nobody left to send a late reply to
            } else if (rev & (POLLIN | POLLHUP | POLLERR)) {
                Byte buf[512];
                for (;;) {
                    const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
                    if (n > 0) {
                        c.lastActivity = c.lastByte = now;
                        c.reader.feed(std::span<const Byte>(buf, static_cast<std::size_t>(n)));
                        while (auto f = c.reader.next()) handleFrame(c, std::move(*f));
                        continue;
                    }
                    if (n == 0) {
                        c.peerClosed = true;
                        while (auto f = c.reader.flushPartial()) handleFrame(c, std::move(*f));
                    } else if (errno == EINTR) {
                        continue;
                    } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                        c.broken = true;
                    }
                    break;
                }
            }
            c.outbox.promote(now);
            if (c.outbox.wantsWrite()) {
                if (!c.outbox.flush(c.fd, true)) c.broken = true;
                c.lastActivity = now;
            }
        }

        if (fds[1].revents & POLLIN) {
            for (;;) {
                const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) break;
                if (display_.config().fault == Fault::CloseAtOnce || conns.size() >= kMaxConnections) {
                    ::close(fd);
                    continue;
                }
                auto c = std::make_unique<Connection>();
                c->fd = fd;
                c->lastActivity = c->lastByte = now;
                conns.push_back(std::move(c));
            }
        }
    }

    for (auto& c : conns) ::close(c->fd);
}

}  // namespace dravik::sim
