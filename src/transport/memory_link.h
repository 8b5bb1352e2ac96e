// A link to scripted peers, for unit tests of whatever runs exchanges. Each peer (an address,
// or on a serial-style link a monitor ID) is a function from the frame to the reply bytes,
// with faults to inject step by step. Every frame written is recorded with where it went.
//
// Time is virtual: every wait the rule asks for (drainWait, preWrite, pause, timeout, retry)
// and the connect bound of a hanging connect advance the link's VirtualClock instead of
// sleeping, so a test reads back exactly what was waited and runs at once. Pass the clock the
// flow under test waits on to see the flow's whole time.
#pragma once

#include "transport/link.h"
#include "transport/waiter.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dravik::transport {

enum class MemoryFault {
    None,
    ConnectRefused,    // open: ConnectRefused at once
    ConnectHangs,      // open: ConnectTimedOut after the connect bound
    WriteShort,        // exchange: half the frame reaches the peer; WriteFailed, no reply
    WriteError,        // exchange: nothing reaches the peer; WriteFailed
    SplitReply,        // the reply arrives a byte at a time: each read takes one byte
    LateReply,         // the reply arrives after every read of this exchange is over
    PeerClosesMidReply,  // the first half arrives, then the peer hangs up (LAN)
    DeviceVanishes,    // the write fails; every later call is PortClosed until reopen()
};

class MemoryLink final : public Link {
public:
    enum class Style {
        Lan,     // peers by the address given to open(); pending input dies with close()
        Serial,  // one line: peers by the frame's byte 1, open() ignores the address
    };
    using Responder = std::function<protocol::Bytes(std::span<const protocol::Byte> frame)>;

    struct Sent {
        std::string where;       // LAN: the address; serial: "ID <n>"
        protocol::Bytes frame;   // what reached the peer (a short write: the part that did)
        Millis at{0};            // virtual time of the write
    };

    explicit MemoryLink(Style style = Style::Lan, VirtualClock* clock = nullptr);

    // The peer at an address (Lan) or monitor ID (Serial). A LAN address with no peer
    // refuses the connect; a serial frame for an ID with no peer gets no answer.
    void setPeer(const std::string& address, Responder respond);
    void setPeer(int monitorId, Responder respond);
    // Faults for the peer's next steps in order, one per call that reaches it (open counts
    // as a step on a LAN link, each exchange as one); then None again.
    void queueFaults(const std::string& address, std::vector<MemoryFault> faults);
    void queueFaults(int monitorId, std::vector<MemoryFault> faults);
    // A fault at every step of the peer (after any queued ones).
    void setFault(const std::string& address, MemoryFault fault);
    void setFault(int monitorId, MemoryFault fault);

    // The connect bound a hanging connect waits out (5 s by default, as the LAN link's).
    void setConnectBound(Millis bound) { connectBound_ = bound; }
    // The line is plugged in again after DeviceVanishes (the operator's "Open").
    void reopen() { vanished_ = false; }
    // Bytes that arrive unasked (a late answer from before): the next drain or read sees them.
    void pushPending(const protocol::Bytes& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }

    LinkStatus open(const std::string& address) override;
    ExchangeResult exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) override;
    void close() override;

    const std::vector<Sent>& sent() const { return sent_; }
    int opens() const { return opens_; }
    int closes() const { return closes_; }
    bool isOpen() const { return open_; }
    VirtualClock& clock() { return *clock_; }

private:
    struct Peer {
        Responder respond;
        std::deque<MemoryFault> queued;
        MemoryFault always = MemoryFault::None;
    };
    std::string keyOf(int monitorId) const { return "ID " + std::to_string(monitorId); }
    Peer* peerFor(std::span<const protocol::Byte> frame);
    MemoryFault nextFault(Peer& peer);
    protocol::Bytes takePending(int limit);

    Style style_;
    VirtualClock ownClock_;
    VirtualClock* clock_;
    std::map<std::string, Peer> peers_;
    std::vector<Sent> sent_;
    protocol::Bytes pending_;
    std::string address_;
    bool open_ = false;
    bool peerGone_ = false;
    bool vanished_ = false;
    Millis connectBound_{5000};
    int opens_ = 0;
    int closes_ = 0;
};

}  // namespace dravik::transport
