// The two ways bytes leave the program, behind one small table of operations: open a link
// to a target, exchange one frame (write it, then collect the reply by a reply rule until a
// deadline), close. LanLink (one TCP connection to port 5000 per command), SerialLink (the
// one RS-232 line shared by every monitor ID) and MemoryLink (tests) implement it.
//
// A Link is used from one thread, the one that owns it, and its calls block until their
// deadline at most; the flows run on a worker thread so the window thread never waits.
// What the program shows of the bytes (TX echo, receive box, trace) observes the link.
#pragma once

#include "protocol/frame.h"

#include <chrono>
#include <span>
#include <string>

namespace dravik::transport {

using Millis = std::chrono::milliseconds;

enum class LinkError {
    None,
    ConnectRefused,
    ConnectTimedOut,
    NoRoute,
    NameNotResolved,
    PortBusy,
    PermissionDenied,
    PortClosed,   // RS-232 line not open
    WriteFailed,  // not every byte went out (device gone, peer closed)
    PeerClosed,   // the peer closed before the reply was whole
    Other,
};

struct LinkStatus {
    LinkError error = LinkError::None;
    std::string systemText;  // the system's own words for a failure
    bool ok() const { return error == LinkError::None; }
};

// How one exchange collects its reply.
struct ReplyRule {
    // Wait after the write before the first read (the protocol's pause).
    Millis pause{0};
    // Longest wait for the first byte once reading starts; 0: do not read at all.
    Millis timeout{0};
    // RS-232 reads: when nothing came by the end of `timeout`, wait this much more once.
    Millis retry{0};
    // Bytes kept of the reply (32 on the LAN, 128 on the line).
    int limit = 32;
    // Discard pending input before writing (so an earlier answer cannot pass for this one).
    bool drainFirst = true;
    // Extra pause before the write (after the drain).
    Millis preWrite{0};
};

struct ExchangeResult {
    LinkStatus status;
    protocol::Bytes reply;  // at most rule.limit bytes; empty when nothing came
};

class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void linkOpened(const std::string& /*where*/, const LinkStatus& /*status*/) {}
    virtual void frameSent(const std::string& /*where*/, std::span<const protocol::Byte> /*frame*/) {}
    virtual void replyReceived(const std::string& /*where*/, std::span<const protocol::Byte> /*reply*/) {}
};

class Link {
public:
    virtual ~Link() = default;
    // LAN: connect to the address (port 5000, bounded wait). RS-232: checks that the line is
    // open; the address is not used (displays are told apart by the frame's monitor ID).
    virtual LinkStatus open(const std::string& address) = 0;
    virtual ExchangeResult exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) = 0;
    virtual void close() = 0;

    void setObserver(LinkObserver* observer) { observer_ = observer; }
    LinkObserver* observer() const { return observer_; }

private:
    LinkObserver* observer_ = nullptr;
};

}  // namespace dravik::transport
