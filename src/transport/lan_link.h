// The LAN link: one TCP connection to port 5000 of a display, made by open() and dropped by
// close(). Uses QTcpSocket's blocking calls only, so it works on a worker thread that runs
// no event loop; every call is bounded by its own deadline.
#pragma once

#include "transport/link.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <string>

class QTcpSocket;

namespace dravik::transport {

// Result of turning an address text into an IPv4 address.
struct ResolvedAddress {
    LinkStatus status;
    std::string ipv4;  // dotted form; empty on failure
};

// Looks a host name up within `bound`; the first IPv4 address wins. Injectable so that
// tests resolve names without asking any name server.
using HostResolver = std::function<ResolvedAddress(const std::string& name, Millis bound)>;

// The system's resolver (getaddrinfo, IPv4 only) run on its own thread so that a slow name
// server cannot hold the caller past `bound`.
ResolvedAddress SystemResolve(const std::string& name, Millis bound);

struct LanLinkOptions {
    quint16 port = 5000;
    // The platform's own connect wait is about two minutes; an unreachable display must
    // not hold a flow that long. The name lookup counts against the same bound.
    Millis connectBound{5000};
    // Longest wait for the frame's bytes to leave.
    Millis writeBound{3500};
    HostResolver resolve = SystemResolve;
    // Asked while a connect or a receive waits: true gives up at once (the window that runs the
    // flow is closing). Empty: every wait runs to its deadline.
    std::function<bool()> cancelled;
};

// One TCP connection per command to port 5000. Its exchange is what SendLan and QueryLan
// were: the flows pick the reply rule (flows/reply_rules.h).
class LanLink final : public Link {
public:
    explicit LanLink(LanLinkOptions options = {});
    ~LanLink() override;
    LanLink(const LanLink&) = delete;
    LanLink& operator=(const LanLink&) = delete;

    // Dotted IPv4 text as it is, anything else looked up as a host name; then connect.
    // Closes a connection that was open before.
    LinkStatus open(const std::string& address) override;
    // Optional drain, write every byte, pause, then one receive: waits up to rule.timeout
    // for data and keeps at most rule.limit bytes of what arrived in that receive (the rest
    // is left for the next drain or dropped with the connection). A reply split over two
    // segments can be cut: the displays' replies fit one segment, and the exchanges have
    // always done one receive.
    ExchangeResult exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) override;
    void close() override;

    bool isOpen() const;
    const std::string& address() const { return address_; }

private:
    LanLinkOptions options_;
    std::unique_ptr<QTcpSocket> socket_;
    std::string address_;
};


// Why a LAN connection failed, asked once more: `elapsed` is how long the failed attempt took.
// A literal address whose attempt ran to the connect bound timed out and is not asked again;
// anything quicker gets one short open (at most 1 s) for the system's own words. A display
// that accepts now was merely slow: ConnectTimedOut.
LinkStatus DiagnoseConnectFailure(const std::string& address, Millis elapsed, quint16 port, Millis bound);

// The process's open-file limit, its soft limit raised towards `wanted` as far as the hard
// limit allows; -1 when it is unlimited or cannot be read.
long RaiseOpenFileLimit(long wanted);

}  // namespace dravik::transport
