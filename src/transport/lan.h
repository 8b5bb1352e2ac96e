// LAN exchanges: one short TCP connection to port 5000 of the row's display per exchange.
#pragma once

#include "protocol/frame.h"
#include "transport/exchange_context.h"

#include <QString>
#include <QtGlobal>

#include <memory>

class QTcpSocket;

namespace dravik::transport {

// Port, time-outs and pauses of the LAN exchanges. The pages use the defaults.
struct LanOptions {
    quint16 port = 5000;
    // The platform's own connect wait is about two minutes; an unreachable row must not
    // hold the window that long.
    int connectTimeoutMs = 5000;
    int receiveTimeoutMs = 3500;
    int sendPauseMs = 250;   // SendLan, after the frame went out
    int queryPauseMs = 300;  // ReadThenSetLan, between query and receive
    int wallPauseMs = 100;   // SendLanWall, between frame and receive
    int replyLimit = 32;     // bytes kept of one receive
};

// One TCP connection. Connects and receives in a local event loop that takes no user input,
// so the window repaints while it waits but no button can be pressed. Closed on destruction.
class LanLink {
public:
    explicit LanLink(const LanOptions& options = {});
    ~LanLink();
    LanLink(const LanLink&) = delete;
    LanLink& operator=(const LanLink&) = delete;

    // Dotted IPv4 text, else a host name looked up (within the connect time-out; the first
    // IPv4 address is used). False when the text is empty, the lookup fails or the connect
    // fails or times out.
    bool connectTo(const QString& addressText);
    bool isConnected() const;
    // Discards input not yet read (so the next receive sees only the answer to this frame),
    // then hands the bytes to the connection. False when they could not be written.
    bool send(const protocol::Frame& frame);
    // One receive: waits up to the receive time-out for data and keeps at most replyLimit
    // bytes of what arrived in `reply` (count 0 when nothing came). Returns the count.
    int receive(ReplyBuffer& reply);
    void close();

private:
    LanOptions options_;
    QString target_;  // "address:port", for the trace
    std::unique_ptr<QTcpSocket> socket_;
};

// Addresses and seals the frame buffer with the row's ID (column 4), echoes it, connects to
// the row's address, sends, pauses 250 ms and closes. LINK "Y" or "N". LAN mode only.
void SendLan(ExchangeContext& ctx, int row, const LanOptions& options = {});

// Sends the frame buffer and reads one reply of at most 32 bytes, echoed into the receive
// box and handed to the decoder. False in RS-232 mode or when the connection failed.
bool QueryLan(ExchangeContext& ctx, int row, const LanOptions& options = {});

// On one connection: the query frame (if buildQuery builds one), its reply decoded, then the
// set frame (if buildSet builds one). The set frame follows a query only when more than 12
// bytes came back and the decoder accepted them. LAN mode only.
void ReadThenSetLan(ExchangeContext& ctx, int row, const FrameBuilder& buildQuery,
                    const FrameBuilder& buildSet, const LanOptions& options = {});

// The wall page's per-row sender: ID from column 4 (outside 1..25 becomes 1), TX echo,
// connect, send, pause 100 ms, one receive of at most 32 bytes into the reply buffer (not
// decoded), LINK "Y"/"N". LAN mode only.
void SendLanWall(ExchangeContext& ctx, int row, const LanOptions& options = {});

}  // namespace dravik::transport
