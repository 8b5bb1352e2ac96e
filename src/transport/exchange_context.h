// What an exchange or a send flow touches of a page: target rows, the status line, the hex
// boxes, the frame and reply buffers, the serial port and Feedback. Pages (and the console)
// implement it; nothing here knows a widget.
#pragma once

#include "protocol/frame.h"
#include "transport/feedback.h"

#include <QString>

#include <array>
#include <functional>
#include <span>

namespace dravik::transport {

class SerialPort;

// Columns of a target list row.
inline constexpr int kColAddress = 0;  // IP address (LAN) or monitor ID (RS-232)
inline constexpr int kColModel = 1;
inline constexpr int kColLink = 2;
inline constexpr int kColPos = 3;
inline constexpr int kColId = 4;

// The bytes last received and their count. Room for 128 bytes and a terminating zero.
struct ReplyBuffer {
    static constexpr int kCapacity = 128;

    std::array<protocol::Byte, kCapacity + 1> bytes{};
    int count = 0;

    // Keeps at most kCapacity bytes; everything after them reads as zero, so a decoder that
    // looks past the count never sees an older reply.
    void assign(std::span<const protocol::Byte> data);
    void assign(const char* data, qsizetype size);
    void clear();
    std::span<const protocol::Byte> received() const;
    // Byte i of the reply, 0 outside the buffer.
    protocol::Byte at(int i) const;
};

class ExchangeContext {
public:
    virtual ~ExchangeContext() = default;

    virtual bool lanMode() const = 0;
    virtual int rowCount() const = 0;
    virtual int selectedRow() const = 0;  // -1: none
    virtual QString cellText(int row, int col) const = 0;
    virtual void setCellText(int row, int col, const QString& text) = 0;

    virtual void setStatus(const QString& text) = 0;
    virtual void setTxText(const QString& text) = 0;
    virtual QString txText() const = 0;
    virtual void setRxText(const QString& text) = 0;
    virtual bool showFlag() const = 0;
    virtual void writeControls() = 0;  // page members to controls
    virtual void focusTargetList() = 0;
    virtual void setMessageLine(const QString& text) = 0;

    virtual Feedback& feedback() = 0;
    virtual protocol::Frame& frameBuffer() = 0;
    virtual ReplyBuffer& replyBuffer() = 0;
    virtual SerialPort& serialPort() = 0;
    // Runs the reply decoder on the reply buffer for this model; true when it accepted it.
    virtual bool decodeReply(const QString& model) = 0;

    // True while a send flow (or a handler holding a FlowGuard) runs. Handlers that build
    // into the frame buffer return at once while this is set: the running flow is inside a
    // pumping wait and still sending that buffer.
    bool busy() const { return busy_; }

private:
    friend class FlowGuard;
    bool busy_ = false;
};

// Marks the context busy for its lifetime, unless it already was. A press that arrives
// during a pumping wait of a running flow gets a guard that does not own the context and
// must do nothing.
class FlowGuard {
public:
    explicit FlowGuard(ExchangeContext& ctx);
    ~FlowGuard();
    FlowGuard(const FlowGuard&) = delete;
    FlowGuard& operator=(const FlowGuard&) = delete;

    bool owns() const { return owns_; }
    explicit operator bool() const { return owns_; }

private:
    ExchangeContext& ctx_;
    bool owns_;
};

// Builds a frame into the context's frame buffer for the model; false when none was built
// (the builder may have shown a refusal).
using FrameBuilder = std::function<bool(const QString& model)>;

// Byte 1 = the ID text's decimal value (low 8 bits), checksum recomputed.
void AddressAndSeal(protocol::Frame& frame, const QString& idText);
// The wall page's variant: an ID outside 1..25 (empty and non-numeric text included) is 1.
void AddressAndSealWall(protocol::Frame& frame, const QString& idText);
// TX box = the frame in "%02X " form, then the controls are refreshed; only with the Show flag.
void EchoTx(ExchangeContext& ctx);
// "%02X " per byte / "%02X" per byte.
QString HexSpaced(std::span<const protocol::Byte> bytes);
QString HexPacked(std::span<const protocol::Byte> bytes);

}  // namespace dravik::transport
