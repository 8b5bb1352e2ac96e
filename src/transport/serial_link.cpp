#include "transport/serial_link.h"

#include <algorithm>

namespace dravik::transport {

SerialLink::SerialLink(SerialPort& port, Clock& clock) : port_(port), clock_(clock) {}

std::string SerialLink::where() const {
    const QString path = port_.devicePath();
    return path.isEmpty() ? where_ : path.toStdString();
}

LinkStatus SerialLink::closedStatus() const {
    if (port_.deviceLost()) return {LinkError::PortClosed, port_.lastErrorText().toStdString()};
    return {LinkError::PortClosed, "COM port not open"};
}

LinkStatus SerialLink::open(const std::string& /*address*/) {
    LinkStatus status;
    if (!port_.isOpen()) status = closedStatus();
    where_ = port_.devicePath().toStdString();
    if (observer()) observer()->linkOpened(where(), status);
    return status;
}

protocol::Bytes SerialLink::readOnce(Millis wait, int limit) {
    qint64 waiting = port_.bytesWaiting();
    if (waiting <= 0 && port_.isOpen()) {
        clock_.wait(wait);
        waiting = port_.bytesWaiting();
    }
    if (waiting <= 0 || limit <= 0) return {};
    const QByteArray data = port_.read(std::min<qint64>(waiting, limit));
    return protocol::Bytes(data.begin(), data.end());
}

ExchangeResult SerialLink::exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) {
    ExchangeResult result;
    if (!port_.isOpen()) {
        result.status = closedStatus();
        return result;
    }
    where_ = port_.devicePath().toStdString();
    if (rule.drainFirst) {
        // One look (with its wait when nothing is there yet), then whatever is still
        // waiting: a reply over the read limit leaves its tail behind, and no earlier answer
        // may pass for the reply to this frame.
        const protocol::Bytes stale = readOnce(rule.drainWait, 1 << 20);
        port_.purgeInput();
        if (!stale.empty() && observer()) observer()->replyDiscarded(where(), stale);
    }
    clock_.wait(rule.preWrite);
    if (observer()) observer()->frameSent(where(), frame);
    if (!port_.isOpen()) {
        result.status = closedStatus();
        return result;
    }
    const QByteArray bytes(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
    port_.clearError();
    if (!port_.write(bytes)) {
        result.status = {LinkError::WriteFailed, port_.lastErrorText().toStdString()};
        return result;
    }
    result.written = true;
    clock_.wait(rule.pause);
    if (rule.timeout <= Millis{0}) return result;

    const int limit = std::max(0, rule.limit);
    result.reply = readOnce(rule.timeout, limit);
    if (result.reply.empty() && rule.retry > Millis{0} && port_.isOpen()) {
        clock_.wait(rule.retry);
        result.reply = readOnce(rule.timeout, limit);
    }
    if (!port_.isOpen()) {
        result.status = closedStatus();
    } else if (!result.reply.empty() && observer()) {
        observer()->replyReceived(where(), result.reply);
    }
    return result;
}

}  // namespace dravik::transport
