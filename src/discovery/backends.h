// What a probe needs from the system: a presence test and an identity connection.
// The scan engine sees only these interfaces; tests inject their own answers, and
// another platform can bring its own sockets. Every call returns soon after the stop
// signal it is given is raised: closing a page joins the probes.
#pragma once

#include "discovery/stop_signal.h"
#include "protocol/frame.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace dravik::discovery {

enum class Presence {
    Absent,   // no echo reply and no resolved hardware address
    Present,  // an echo reply from the target, or its hardware address resolved
    Error,    // the test could not be made (no ICMP socket, send failed, ...)
    Stopped,  // the scan was cancelled while waiting
};

class PresenceProbe {
public:
    virtual ~PresenceProbe() = default;
    // ICMP echo to `address` (dotted IPv4), waiting up to `echoTimeout` for the reply,
    // then the address-resolution test. Called from many probe threads at once.
    virtual Presence Test(const std::string& address, std::chrono::milliseconds echoTimeout,
                          const StopSignal& stop) = 0;
};

// At most this many bytes are taken as one identity reply.
inline constexpr std::size_t kIdentityReplyLimit = 32;

class IdentitySession {
public:
    virtual ~IdentitySession() = default;
    // Sends `query` and returns the reply (at most kIdentityReplyLimit bytes); empty when
    // nothing came within `timeout`, the connection is gone, or the scan was stopped.
    virtual protocol::Bytes Exchange(const protocol::Frame& query, std::chrono::milliseconds timeout,
                                     const StopSignal& stop) = 0;
};

class IdentityClient {
public:
    virtual ~IdentityClient() = default;
    // Connects to address:port; nullptr when refused, unreachable, timed out or stopped.
    // Called from many probe threads at once.
    virtual std::unique_ptr<IdentitySession> Connect(const std::string& address, std::uint16_t port,
                                                     std::chrono::milliseconds timeout,
                                                     const StopSignal& stop) = 0;
};

struct ScanBackends {
    std::shared_ptr<PresenceProbe> presence;
    std::shared_ptr<IdentityClient> identity;
};

// This platform's backends: ICMP socket + neighbour table, and TCP.
ScanBackends SystemScanBackends();

}  // namespace dravik::discovery
