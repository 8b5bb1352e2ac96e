// Presence test on Linux: an ICMP echo, then the kernel's neighbour table.
#pragma once

#include "discovery/backends.h"
#include "discovery/neighbour_table.h"

#include <string>

namespace dravik::discovery {

enum class IcmpSocketKind {
    Auto,  // raw if the process may open one (root or CAP_NET_RAW), else a ping socket
    Raw,   // SOCK_RAW: sees every ICMP datagram with its IP header
    Ping,  // SOCK_DGRAM/IPPROTO_ICMP: needs net.ipv4.ping_group_range to cover the group
};

class LinuxPresenceProbe final : public PresenceProbe {
public:
    explicit LinuxPresenceProbe(IcmpSocketKind kind = IcmpSocketKind::Auto,
                                std::string neighbourTable = std::string(kNeighbourTablePath));
    Presence Test(const std::string& address, std::chrono::milliseconds echoTimeout,
                  const StopSignal& stop) override;

private:
    IcmpSocketKind kind_;
    std::string neighbourTable_;
};

// The identifier of our echo requests: the low 16 bits of the process id.
std::uint16_t EchoIdentifier();

}  // namespace dravik::discovery
