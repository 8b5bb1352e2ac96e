#include "transport/serial.h"

#include "transport/pump_wait.h"
#include "transport/texts.h"
#include "transport/trace.h"

#include <QThread>

#include <algorithm>
#include <cstdint>

namespace dravik::transport {

namespace {

constexpr int kReadRetryMs = 150;
constexpr int kSendReplyWaitMs = 450;
constexpr int kQueryFirstWaitMs = 800;
constexpr int kQuerySecondWaitMs = 500;
constexpr int kBeforeWriteMs = 200;
constexpr int kReadThenSetFirstWaitMs = 1200;
constexpr int kReadThenSetSecondWaitMs = 1000;

bool ValidRow(const ExchangeContext& ctx, int row) { return row >= 0 && row < ctx.rowCount(); }

// Reads after `firstMs`, and once more after `secondMs` when nothing came.
int ReadWithRetry(SerialPort& port, QByteArray& received, int firstMs, int secondMs) {
    PumpWait(firstMs);
    if (ReadSerial(port, received) > 0) return static_cast<int>(received.size());
    PumpWait(secondMs);
    return ReadSerial(port, received);
}

// SendSerial's reply step: any reply goes to the reply buffer and, with the Show flag, into
// the receive box with no separator between bytes.
void TakeSendReply(ExchangeContext& ctx, SerialPort& port) {
    QByteArray received;
    if (ReadSerial(port, received) <= 0) return;
    ReplyBuffer& reply = ctx.replyBuffer();
    reply.assign(received.constData(), received.size());
    if (ctx.showFlag()) {
        ctx.setRxText(HexPacked(reply.received()));
        ctx.writeControls();
    }
}

// A send with the port closed: "COM Port Closed " and nothing written.
bool RefuseWhenClosed(ExchangeContext& ctx, bool focusList) {
    if (ctx.serialPort().isOpen()) return false;
    ctx.feedback().message(texts::kPortClosed);
    if (focusList) ctx.focusTargetList();
    return true;
}

}  // namespace

int ReadSerial(SerialPort& port, QByteArray& received) {
    received.clear();
    if (!port.isOpen()) return 0;
    qint64 waiting = port.bytesWaiting();
    if (waiting <= 0) {
        QThread::msleep(kReadRetryMs);
        waiting = port.bytesWaiting();
        if (waiting <= 0) return 0;
    }
    received = port.read(std::min<qint64>(waiting, kSerialReadLimit));
    TraceFrame(TraceChannel::Serial, Direction::Rx, port.portText(), received, QStringLiteral("received"));
    return static_cast<int>(received.size());
}

bool WriteSerial(SerialPort& port, const QByteArray& bytes) {
    port.clearError();
    const bool written = port.write(bytes);
    TraceFrame(TraceChannel::Serial, Direction::Tx, port.portText(), bytes,
               written ? QStringLiteral("sent") : QStringLiteral("write failed"));
    return written;
}

bool WriteSerial(SerialPort& port, const protocol::Frame& frame) {
    return WriteSerial(port, QByteArray(reinterpret_cast<const char*>(frame.data()),
                                        static_cast<qsizetype>(frame.size())));
}

void DrainSerial(SerialPort& port) {
    QByteArray discarded;
    ReadSerial(port, discarded);
    // A reply over 128 bytes leaves its tail behind one read; it is no answer to anything
    // sent from now on.
    port.purgeInput();
}

bool SendSerial(ExchangeContext& ctx, int row) {
    ctx.setRxText(QString());
    ctx.writeControls();
    if (ctx.lanMode() || !ValidRow(ctx, row)) return true;
    const QString id = ctx.cellText(row, kColAddress);
    ctx.setStatus(texts::kSend);
    AddressAndSeal(ctx.frameBuffer(), id);
    EchoTx(ctx);

    SerialPort& port = ctx.serialPort();
    if (RefuseWhenClosed(ctx, true)) return false;
    DrainSerial(port);
    WriteSerial(port, ctx.frameBuffer());
    PumpWait(kSendReplyWaitMs);
    TakeSendReply(ctx, port);
    ctx.setStatus(QString());
    ctx.focusTargetList();
    return true;
}

bool QuerySerial(ExchangeContext& ctx, int row) {
    if (ctx.lanMode() || !ValidRow(ctx, row)) return false;
    const QString model = ctx.cellText(row, kColModel);
    const QString id = ctx.cellText(row, kColAddress);
    ctx.setStatus(texts::kSending);
    AddressAndSeal(ctx.frameBuffer(), id);
    EchoTx(ctx);

    SerialPort& port = ctx.serialPort();
    if (RefuseWhenClosed(ctx, true)) return false;
    DrainSerial(port);
    WriteSerial(port, ctx.frameBuffer());
    QByteArray received;
    if (ReadWithRetry(port, received, kQueryFirstWaitMs, kQuerySecondWaitMs) <= 0) {
        ctx.feedback().message(texts::NoReceiveData(id));
        return false;
    }
    ctx.replyBuffer().assign(received.constData(), received.size());
    ctx.setCellText(row, kColLink, QStringLiteral("Y"));
    ctx.setStatus(QString());
    ctx.decodeReply(model);
    ctx.focusTargetList();
    return true;
}

bool ReadThenSetSerial(ExchangeContext& ctx, int row, const FrameBuilder& buildQuery,
                       const FrameBuilder& buildSet) {
    ctx.setRxText(QString());
    if (ctx.lanMode() || !ValidRow(ctx, row)) return true;
    const QString id = ctx.cellText(row, kColAddress);
    const QString model = ctx.cellText(row, kColModel);
    SerialPort& port = ctx.serialPort();
    ReplyBuffer& reply = ctx.replyBuffer();

    if (buildQuery && buildQuery(model)) {
        AddressAndSeal(ctx.frameBuffer(), id);
        EchoTx(ctx);
        if (RefuseWhenClosed(ctx, false)) return false;
        DrainSerial(port);
        PumpWait(kBeforeWriteMs);
        WriteSerial(port, ctx.frameBuffer());
        ctx.setStatus(texts::kSend);
        QByteArray received;
        if (ReadWithRetry(port, received, kReadThenSetFirstWaitMs, kReadThenSetSecondWaitMs) <= 0) {
            ctx.feedback().message(texts::NoReceiveData(id));
            return true;
        }
        reply.assign(received.constData(), received.size());
        if (ctx.showFlag()) {
            ctx.setRxText(HexSpaced(reply.received()));
            ctx.writeControls();
        }
        ctx.setCellText(row, kColLink, QStringLiteral("Y"));
        ctx.setStatus(QString());
        // Byte 4 is the length: below 5 the display only acknowledged and sent no values.
        // A reply too short to hold byte 4 counts as such an acknowledge.
        if (static_cast<std::int8_t>(reply.at(4)) < 5 || reply.count < 5) return true;
        ctx.decodeReply(model);
    }

    if (buildSet && buildSet(model)) {
        AddressAndSeal(ctx.frameBuffer(), id);
        EchoTx(ctx);
        if (RefuseWhenClosed(ctx, false)) return false;
        DrainSerial(port);
        PumpWait(kBeforeWriteMs);
        WriteSerial(port, ctx.frameBuffer());
        PumpWait(kSendReplyWaitMs);
        TakeSendReply(ctx, port);
    }
    return true;
}

bool SendSerialWall(ExchangeContext& ctx, int row) {
    if (ctx.lanMode() || !ValidRow(ctx, row)) return true;
    const QString id = ctx.cellText(row, kColAddress);
    ctx.setStatus(texts::kSend);
    AddressAndSealWall(ctx.frameBuffer(), id);
    EchoTx(ctx);
    SerialPort& port = ctx.serialPort();
    if (RefuseWhenClosed(ctx, true)) return false;
    WriteSerial(port, ctx.frameBuffer());
    ctx.setStatus(QString());
    ctx.focusTargetList();
    return true;
}

}  // namespace dravik::transport
