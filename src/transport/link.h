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

// How one exchange collects its reply. Steps, in order: drain (drainFirst, drainWait), wait
// preWrite, write the frame, wait pause, read (timeout), and on RS-232 one more read after
// retry when nothing came.
//
// The exchanges the program has always made, as rules:
//   LAN  send-only (power, input, keys ...)   {pause 250, timeout 0}
//   LAN  query (status and service commands)  {timeout 3500, limit 32}
//   LAN  read-then-set: the query             {pause 300, timeout 3500, limit 32}
//        read-then-set: the set frame         {timeout 3500, limit 32}
//   LAN  wall sender                          {pause 100, timeout 3500, limit 32}
//   RS-232 send                               {pause 450, timeout 150, limit 128, drainWait 150}
//   RS-232 query                              {pause 800, timeout 150, retry 500, limit 128, drainWait 150}
//   RS-232 read-then-set: the query           {preWrite 200, pause 1200, timeout 150, retry 1000,
//                                              limit 128, drainWait 150}
//   RS-232 read-then-set: the set frame       {preWrite 200, pause 450, timeout 150, limit 128,
//                                              drainWait 150}
//   RS-232 wall sender                        {drainFirst false, timeout 0}
//   RS-232 wall gain read                     {pause 1000, timeout 150, retry 500, limit 128, drainWait 150}
//   RS-232 ID search / monitor check          {pause first, timeout 150, retry second, limit 128,
//                                              drainWait 150} with the search's own first/second waits
// (drainWait 150 and timeout 150 are the old serial read's look, 150 ms sleep, look again.)
struct ReplyRule {
    // Wait after the write before the first read (the protocol's pause).
    Millis pause{0};
    // LAN: longest wait for the first byte of the one receive. RS-232: when nothing is
    // waiting after the pause, wait this long and look once more. 0: do not read at all.
    Millis timeout{0};
    // RS-232 reads: when nothing came by the end of `timeout`, wait this much more and read
    // again (with the same `timeout` look). 0: no second read.
    Millis retry{0};
    // Bytes kept of the reply (32 on the LAN, 128 on the line).
    int limit = 32;
    // Discard pending input before writing (so an earlier answer cannot pass for this one).
    bool drainFirst = true;
    // RS-232 drain: when nothing is waiting, wait this long and look once more before
    // discarding. 0: discard what is there without waiting.
    Millis drainWait{0};
    // Extra pause before the write (after the drain).
    Millis preWrite{0};
};

// A reply that did not come in time is no error: status ok, reply empty. Errors are about
// the link: it could not write (WriteFailed), the peer hung up before a byte came
// (PeerClosed), the line is gone or was never open (PortClosed).
struct ExchangeResult {
    LinkStatus status;
    protocol::Bytes reply;  // at most rule.limit bytes; empty when nothing came
    bool written = false;   // every byte of the frame went out
};

class LinkObserver {
public:
    virtual ~LinkObserver() = default;
    virtual void linkOpened(const std::string& /*where*/, const LinkStatus& /*status*/) {}
    // Called once per exchange just before the frame is written (so a trace shows it even
    // when the write then fails).
    virtual void frameSent(const std::string& /*where*/, std::span<const protocol::Byte> /*frame*/) {}
    // Called only for a reply of at least one byte.
    virtual void replyReceived(const std::string& /*where*/, std::span<const protocol::Byte> /*reply*/) {}
    // Bytes thrown away before a frame went out (a late answer or an overlong reply's tail on
    // the RS-232 line): never taken as a reply, but an integrator debugging a wall must see them.
    virtual void replyDiscarded(const std::string& /*where*/, std::span<const protocol::Byte> /*bytes*/) {}
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
