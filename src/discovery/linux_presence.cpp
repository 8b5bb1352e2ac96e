#include "discovery/linux_presence.h"

#include "discovery/icmp.h"
#include "discovery/scan_rules.h"
#include "discovery/socket_util.h"

#include <arpa/inet.h>
#include <cerrno>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dravik::discovery {

namespace {

using detail::UniqueFd;
using detail::WaitFor;
using detail::WaitResult;

constexpr std::size_t kReceiveBuffer = 1024;

UniqueFd OpenIcmpSocket(IcmpSocketKind kind, bool& raw) {
    if (kind != IcmpSocketKind::Ping) {
        UniqueFd fd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
        if (fd) {
            raw = true;
            // Only echo replies are of interest; everything else stays in the kernel.
            icmp_filter filter{~(1u << ICMP_ECHOREPLY)};
            (void)::setsockopt(fd.get(), SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
            return fd;
        }
        if (kind == IcmpSocketKind::Raw) return fd;
    }
    raw = false;
    return UniqueFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP));
}

}  // namespace

std::uint16_t EchoIdentifier() { return static_cast<std::uint16_t>(::getpid() & 0xFFFF); }

LinuxPresenceProbe::LinuxPresenceProbe(IcmpSocketKind kind, std::string neighbourTable)
    : kind_(kind), neighbourTable_(std::move(neighbourTable)) {}

Presence LinuxPresenceProbe::Test(const std::string& address, std::chrono::milliseconds echoTimeout,
                                  const StopSignal& stop) {
    const auto target = ParseIpv4(address);
    if (!target) return Presence::Error;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(*target);

    bool raw = false;
    UniqueFd fd = OpenIcmpSocket(kind_, raw);
    if (!fd) return Presence::Error;

    const std::uint16_t identifier = EchoIdentifier();
    const auto request = BuildEchoRequest(identifier);
    ssize_t sent;
    do {
        sent = ::sendto(fd.get(), request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    if (sent != static_cast<ssize_t>(request.size())) return Presence::Error;

    // Every raw ICMP socket of the process sees every reply, and up to 60 probes wait at
    // once: keep reading until our own reply comes or the time is up.
    bool present = false;
    const auto deadline = std::chrono::steady_clock::now() + echoTimeout;
    std::uint8_t buffer[kReceiveBuffer];
    for (;;) {
        const WaitResult waited = WaitFor(fd.get(), POLLIN, deadline, stop);
        if (waited == WaitResult::Stopped) return Presence::Stopped;
        if (waited == WaitResult::TimedOut) break;
        if (waited == WaitResult::Failed) return Presence::Error;
        sockaddr_in from{};
        socklen_t fromSize = sizeof from;
        const ssize_t got = ::recvfrom(fd.get(), buffer, sizeof buffer, MSG_DONTWAIT,
                                       reinterpret_cast<sockaddr*>(&from), &fromSize);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return Presence::Error;
        }
        const std::span<const std::uint8_t> datagram(buffer, static_cast<std::size_t>(got));
        present = raw ? IsEchoReplyFromRaw(datagram, to.sin_addr.s_addr, identifier)
                      : IsEchoReplyFromPing(datagram, from.sin_addr.s_addr, to.sin_addr.s_addr);
        if (present) break;
    }
    if (!fd.Close()) return Presence::Error;
    if (present) return Presence::Present;
    if (stop.Stopped()) return Presence::Stopped;
    // The echo made the kernel resolve the target's hardware address if it is on the link;
    // a host that drops pings still answers that.
    return NeighbourResolved(ReadNeighbourTable(neighbourTable_), address) ? Presence::Present : Presence::Absent;
}

}  // namespace dravik::discovery
