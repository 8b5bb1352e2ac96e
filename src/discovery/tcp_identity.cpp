#include "discovery/tcp_identity.h"

#include "discovery/scan_rules.h"
#include "discovery/socket_util.h"
#include "protocol/reply.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace dravik::discovery {

namespace {

using detail::UniqueFd;
using detail::WaitFor;
using detail::WaitResult;
using protocol::Byte;
using protocol::Bytes;

bool WouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

class TcpIdentitySession final : public IdentitySession {
public:
    explicit TcpIdentitySession(UniqueFd fd) : fd_(std::move(fd)) {}

    Bytes Exchange(const protocol::Frame& query, std::chrono::milliseconds timeout, const StopSignal& stop) override {
        Bytes reply;
        if (closed_ || stop.Stopped()) return reply;
        // A late or overlong answer to an earlier query must not pass for this one's.
        DiscardPending();
        if (closed_ || !SendAll(query.bytes(), stop)) return reply;

        const auto deadline = std::chrono::steady_clock::now() + timeout;
        Byte buffer[kIdentityReplyLimit];
        while (!ReplyComplete(reply)) {
            if (WaitFor(fd_.get(), POLLIN, deadline, stop) != WaitResult::Ready) break;
            const ssize_t got = ::recv(fd_.get(), buffer, kIdentityReplyLimit - reply.size(), MSG_DONTWAIT);
            if (got < 0 && WouldBlock(errno)) continue;
            if (got <= 0) {
                closed_ = true;
                break;
            }
            reply.insert(reply.end(), buffer, buffer + got);
        }
        return reply;
    }

private:
    void DiscardPending() {
        Byte scrap[256];
        for (;;) {
            const ssize_t got = ::recv(fd_.get(), scrap, sizeof scrap, MSG_DONTWAIT);
            if (got > 0) continue;
            if (got < 0 && errno == EINTR) continue;
            if (got == 0 || !WouldBlock(errno)) closed_ = true;
            return;
        }
    }

    bool SendAll(const Bytes& bytes, const StopSignal& stop) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            // MSG_NOSIGNAL: a display that hung up must not take the whole tool down with SIGPIPE.
            const ssize_t n = ::send(fd_.get(), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
                if (WaitFor(fd_.get(), POLLOUT, deadline, stop) == WaitResult::Ready) continue;
            }
            if (n <= 0) {
                closed_ = true;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    UniqueFd fd_;
    bool closed_ = false;
};

}  // namespace

bool ReplyComplete(std::span<const Byte> reply) {
    const protocol::Reply r(reply);
    if (r.size() >= kIdentityReplyLimit) return true;
    if (r.empty()) return false;
    if (!r.hasReplyHeader()) return true;
    // The length byte read signed: one of 0x80 and above announces nothing more to wait for.
    const auto announced = r.signedLength();
    if (!announced) return false;
    return *announced <= 0 || r.complete();
}

std::unique_ptr<IdentitySession> TcpIdentityClient::Connect(const std::string& address, std::uint16_t port,
                                                            std::chrono::milliseconds timeout, const StopSignal& stop) {
    const auto target = ParseIpv4(address);
    if (!target) return nullptr;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(*target);

    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return nullptr;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return nullptr;
        // Bounded: Linux alone would keep trying for about two minutes.
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        if (WaitFor(fd.get(), POLLOUT, deadline, stop) != WaitResult::Ready) return nullptr;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return nullptr;
    }
    return std::make_unique<TcpIdentitySession>(std::move(fd));
}

}  // namespace dravik::discovery
