#include "flows/basic_links.h"

#include "flows/waiter.h"
#include "transport/serial.h"

#include <QByteArray>

#include <algorithm>

namespace dravik::flows {

using transport::ExchangeResult;
using transport::LinkError;
using transport::LinkStatus;
using transport::ReplyRule;

BasicLanLink::BasicLanLink(const transport::LanOptions& options) : options_(options) {}

BasicLanLink::~BasicLanLink() { close(); }

LinkStatus BasicLanLink::open(const std::string& address) {
    close();
    where_ = address;
    connection_ = std::make_unique<transport::LanLink>(options_);
    LinkStatus st;
    if (!connection_->connectTo(QString::fromStdString(address))) st.error = LinkError::ConnectRefused;
    if (observer()) observer()->linkOpened(where_, st);
    return st;
}

ExchangeResult BasicLanLink::exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) {
    ExchangeResult ex;
    if (!connection_ || !connection_->isConnected()) {
        ex.status.error = LinkError::PeerClosed;
        return ex;
    }
    const protocol::Frame f(protocol::Bytes(frame.begin(), frame.end()));
    const bool sent = connection_->send(f);
    if (observer()) observer()->frameSent(where_, frame);
    WaitFor(rule.pause);
    if (!sent) {
        ex.status.error = LinkError::WriteFailed;
        return ex;
    }
    if (rule.timeout.count() <= 0) return ex;
    transport::ReplyBuffer reply;
    connection_->receive(reply);
    const auto got = reply.received();
    const auto keep = std::min<std::size_t>(got.size(), static_cast<std::size_t>(std::max(0, rule.limit)));
    ex.reply.assign(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(keep));
    if (observer() && !ex.reply.empty()) observer()->replyReceived(where_, ex.reply);
    return ex;
}

void BasicLanLink::close() {
    if (connection_) connection_->close();
    connection_.reset();
}

LinkStatus BasicSerialLink::open(const std::string&) {
    LinkStatus st;
    if (!port_.isOpen()) st.error = LinkError::PortClosed;
    return st;
}

ExchangeResult BasicSerialLink::exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) {
    ExchangeResult ex;
    if (!port_.isOpen()) {
        ex.status.error = LinkError::PortClosed;
        return ex;
    }
    const std::string where = port_.devicePath().toStdString();
    if (rule.drainFirst) transport::DrainSerial(port_);
    WaitFor(rule.preWrite);
    const QByteArray bytes(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
    if (!transport::WriteSerial(port_, bytes)) ex.status.error = LinkError::WriteFailed;
    if (observer()) observer()->frameSent(where, frame);
    if (rule.timeout.count() <= 0) return ex;
    WaitFor(rule.pause);
    QByteArray received;
    if (transport::ReadSerial(port_, received) <= 0 && rule.retry.count() > 0) {
        WaitFor(rule.retry);
        transport::ReadSerial(port_, received);
    }
    const auto keep = std::min<qsizetype>(received.size(), std::max(0, rule.limit));
    ex.reply.assign(received.constData(), received.constData() + keep);
    if (observer() && !ex.reply.empty()) observer()->replyReceived(where, ex.reply);
    return ex;
}

}  // namespace dravik::flows
