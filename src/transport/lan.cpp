#include "transport/lan.h"

#include "transport/texts.h"
#include "transport/trace.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace dravik::transport {

namespace {

// Runs a local event loop that takes no user input until `done()` holds, the socket drops
// or `ms` have passed. Timers, repaints and socket notifications go on meanwhile.
template <typename Done>
bool AwaitSocket(QTcpSocket& socket, int ms, Done done) {
    if (done()) return true;
    if (ms <= 0 || socket.state() == QAbstractSocket::UnconnectedState) return false;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto check = [&] {
        if (done() || socket.state() == QAbstractSocket::UnconnectedState) loop.quit();
    };
    QObject::connect(&socket, &QAbstractSocket::connected, &loop, check);
    QObject::connect(&socket, &QIODevice::readyRead, &loop, check);
    QObject::connect(&socket, &QAbstractSocket::stateChanged, &loop, check);
    QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop, check);
    timer.start(ms);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return done();
}

// A dotted IPv4 text as it is; anything else looked up as a host name, waiting at most
// until `deadline`. Only IPv4 addresses are used.
bool ResolveIPv4(const QString& text, QDeadlineTimer deadline, QHostAddress& out) {
    const QString name = text.trimmed();
    if (name.isEmpty()) return false;
    QHostAddress literal;
    if (literal.setAddress(name)) {
        if (literal.protocol() != QAbstractSocket::IPv4Protocol) return false;
        out = literal;
        return true;
    }
    QEventLoop loop;
    QObject context;
    bool finished = false;
    QHostInfo result;
    const int id = QHostInfo::lookupHost(name, &context, [&](const QHostInfo& info) {
        result = info;
        finished = true;
        loop.quit();
    });
    if (!finished) {
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(std::max<qint64>(0, deadline.remainingTime()));
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!finished) {
        QHostInfo::abortHostLookup(id);
        return false;
    }
    for (const QHostAddress& a : result.addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            out = a;
            return true;
        }
    }
    return false;
}

bool ValidRow(const ExchangeContext& ctx, int row) { return row >= 0 && row < ctx.rowCount(); }

}  // namespace

LanLink::LanLink(const LanOptions& options) : options_(options) {}

LanLink::~LanLink() { close(); }

bool LanLink::connectTo(const QString& addressText) {
    close();
    const QDeadlineTimer deadline(std::max(0, options_.connectTimeoutMs));
    QHostAddress address;
    target_ = addressText.trimmed() + QLatin1Char(':') + QString::number(options_.port);
    if (!ResolveIPv4(addressText, deadline, address)) {
        TraceFrame(TraceChannel::Lan, Direction::Tx, target_, QByteArray(), QStringLiteral("no address"));
        return false;
    }
    socket_ = std::make_unique<QTcpSocket>();
    socket_->connectToHost(address, options_.port);
    const int left = static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
    const bool ok = AwaitSocket(*socket_, left, [this] {
        return socket_->state() == QAbstractSocket::ConnectedState;
    });
    if (!ok) {
        TraceFrame(TraceChannel::Lan, Direction::Tx, target_, QByteArray(), QStringLiteral("connect failed"));
        close();
        return false;
    }
    return true;
}

bool LanLink::isConnected() const {
    return socket_ && socket_->state() == QAbstractSocket::ConnectedState;
}

bool LanLink::send(const protocol::Frame& frame) {
    if (!isConnected()) return false;
    // Bytes left over from an earlier answer (the tail of a reply longer than one receive
    // keeps) must not pass for the answer to this frame.
    socket_->readAll();
    for (int i = 0; i < 16 && socket_->waitForReadyRead(0); ++i) socket_->readAll();
    if (!isConnected()) return false;
    if (frame.empty()) return true;
    const auto size = static_cast<qint64>(frame.size());
    if (socket_->write(reinterpret_cast<const char*>(frame.data()), size) != size) return false;
    QDeadlineTimer deadline(std::max(0, options_.receiveTimeoutMs));
    while (socket_->bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!socket_->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) break;
    }
    const bool written = socket_->bytesToWrite() == 0;
    TraceFrame(TraceChannel::Lan, Direction::Tx, target_, {frame.data(), frame.size()},
               written ? QStringLiteral("sent") : QStringLiteral("write failed"));
    return written;
}

int LanLink::receive(ReplyBuffer& reply) {
    if (!socket_) {
        reply.clear();
        return 0;
    }
    AwaitSocket(*socket_, options_.receiveTimeoutMs, [this] { return socket_->bytesAvailable() > 0; });
    const int limit = std::clamp(options_.replyLimit, 0, ReplyBuffer::kCapacity);
    const QByteArray data = socket_->read(limit);
    reply.assign(data.constData(), data.size());
    TraceFrame(TraceChannel::Lan, Direction::Rx, target_, data,
               data.isEmpty() ? QStringLiteral("no reply") : QStringLiteral("replied"));
    return reply.count;
}

void LanLink::close() {
    if (!socket_) return;
    socket_->abort();
    socket_.reset();
}

namespace {

// Connects the row's link; on failure the row is marked "N" and the status cleared.
bool ConnectRow(ExchangeContext& ctx, LanLink& link, int row, const QString& address, bool focusList) {
    if (link.connectTo(address)) return true;
    link.close();
    ctx.setCellText(row, kColLink, QStringLiteral("N"));
    ctx.setStatus(QString());
    if (focusList) ctx.focusTargetList();
    return false;
}

}  // namespace

void SendLan(ExchangeContext& ctx, int row, const LanOptions& options) {
    ctx.setRxText(QString());
    ctx.writeControls();
    if (!ctx.lanMode() || !ValidRow(ctx, row)) return;
    const QString address = ctx.cellText(row, kColAddress);
    const QString id = ctx.cellText(row, kColId);
    AddressAndSeal(ctx.frameBuffer(), id);
    EchoTx(ctx);

    ctx.setStatus(texts::kConnecting);
    LanLink link(options);
    if (!ConnectRow(ctx, link, row, address, true)) return;
    ctx.setStatus(texts::kSending);
    link.send(ctx.frameBuffer());
    QThread::msleep(static_cast<unsigned long>(std::max(0, options.sendPauseMs)));
    ctx.setCellText(row, kColLink, QStringLiteral("Y"));
    link.close();
    ctx.setStatus(QString());
    ctx.focusTargetList();
}

bool QueryLan(ExchangeContext& ctx, int row, const LanOptions& options) {
    if (!ctx.lanMode() || !ValidRow(ctx, row)) return false;
    const QString address = ctx.cellText(row, kColAddress);
    const QString model = ctx.cellText(row, kColModel);
    const QString id = ctx.cellText(row, kColId);
    ctx.setStatus(texts::kConnecting);

    LanLink link(options);
    if (!ConnectRow(ctx, link, row, address, true)) return false;
    ctx.setStatus(texts::kSending);
    AddressAndSeal(ctx.frameBuffer(), id);
    EchoTx(ctx);

    ReplyBuffer& reply = ctx.replyBuffer();
    if (link.send(ctx.frameBuffer())) {
        link.receive(reply);
    } else {
        reply.clear();
    }
    // The receive box shows the reply whatever the Show flag says.
    ctx.setRxText(HexSpaced(reply.received()));
    ctx.writeControls();

    ctx.setCellText(row, kColLink, QStringLiteral("Y"));
    ctx.setStatus(QString());
    ctx.decodeReply(model);
    ctx.focusTargetList();
    link.close();
    return true;
}

void ReadThenSetLan(ExchangeContext& ctx, int row, const FrameBuilder& buildQuery,
                    const FrameBuilder& buildSet, const LanOptions& options) {
    if (!ctx.lanMode() || !ValidRow(ctx, row)) return;
    const QString address = ctx.cellText(row, kColAddress);
    const QString model = ctx.cellText(row, kColModel);
    const QString id = ctx.cellText(row, kColId);
    ctx.setStatus(texts::kConnecting);

    LanLink link(options);
    if (!ConnectRow(ctx, link, row, address, false)) return;

    ReplyBuffer& reply = ctx.replyBuffer();
    if (buildQuery && buildQuery(model)) {
        ctx.setStatus(texts::kSending);
        AddressAndSeal(ctx.frameBuffer(), id);
        EchoTx(ctx);
        const bool sent = link.send(ctx.frameBuffer());
        QThread::msleep(static_cast<unsigned long>(std::max(0, options.queryPauseMs)));
        if (sent) {
            link.receive(reply);
        } else {
            reply.clear();
        }
        ctx.setCellText(row, kColLink, QStringLiteral("Y"));
        ctx.setStatus(QString());
        // A short answer is only an acknowledge: without the current values the set frame
        // would carry stale ones.
        if (reply.count <= 12 || !ctx.decodeReply(model)) {
            link.close();
            return;
        }
    }

    if (buildSet && buildSet(model)) {
        AddressAndSeal(ctx.frameBuffer(), id);
        EchoTx(ctx);
        if (link.send(ctx.frameBuffer())) {
            link.receive(reply);
        } else {
            reply.clear();
        }
    }
    link.close();
    ctx.setStatus(QString());
}

void SendLanWall(ExchangeContext& ctx, int row, const LanOptions& options) {
    if (!ctx.lanMode() || !ValidRow(ctx, row)) return;
    const QString address = ctx.cellText(row, kColAddress);
    AddressAndSealWall(ctx.frameBuffer(), ctx.cellText(row, kColId));
    EchoTx(ctx);

    ctx.setStatus(texts::kConnecting);
    LanLink link(options);
    ReplyBuffer& reply = ctx.replyBuffer();
    if (link.connectTo(address)) {
        ctx.setStatus(texts::kSending);
        const bool sent = link.send(ctx.frameBuffer());
        QThread::msleep(static_cast<unsigned long>(std::max(0, options.wallPauseMs)));
        if (sent) {
            link.receive(reply);
        } else {
            reply.clear();
        }
        ctx.setCellText(row, kColLink, QStringLiteral("Y"));
    } else {
        ctx.setCellText(row, kColLink, QStringLiteral("N"));
    }
    link.close();
    ctx.setStatus(QString());
    ctx.focusTargetList();
}

}  // namespace dravik::transport
