#include "transport/trace_link.h"

namespace dravik::transport {

namespace {

const char* ErrorName(LinkError error) {
    switch (error) {
        case LinkError::None: return "ok";
        case LinkError::ConnectRefused: return "connect-refused";
        case LinkError::ConnectTimedOut: return "connect-timed-out";
        case LinkError::NoRoute: return "no-route";
        case LinkError::NameNotResolved: return "name-not-resolved";
        case LinkError::PortBusy: return "port-busy";
        case LinkError::PermissionDenied: return "permission-denied";
        case LinkError::PortClosed: return "port-closed";
        case LinkError::WriteFailed: return "write-failed";
        case LinkError::PeerClosed: return "peer-closed";
        case LinkError::Other: return "error";
    }
    return "error";
}

}  // namespace

QString LinkErrorText(const LinkStatus& status) {
    QString text = QString::fromLatin1(ErrorName(status.error));
    if (!status.systemText.empty()) text += QStringLiteral(": ") + QString::fromStdString(status.systemText);
    return text;
}

void TraceLinkObserver::linkOpened(const std::string& where, const LinkStatus& status) {
    if (status.ok()) return;
    TraceFrame(channel_, Direction::Tx, QString::fromStdString(where), std::span<const std::uint8_t>{},
               LinkErrorText(status));
}

void TraceLinkObserver::frameSent(const std::string& where, std::span<const protocol::Byte> frame) {
    TraceFrame(channel_, Direction::Tx, QString::fromStdString(where), frame, QStringLiteral("sent"));
}

void TraceLinkObserver::replyDiscarded(const std::string& where, std::span<const protocol::Byte> bytes) {
    TraceFrame(channel_, Direction::Rx, QString::fromStdString(where), bytes, QStringLiteral("discarded"));
}

void TraceLinkObserver::replyReceived(const std::string& where, std::span<const protocol::Byte> reply) {
    TraceFrame(channel_, Direction::Rx, QString::fromStdString(where), reply, QStringLiteral("received"));
}

}  // namespace dravik::transport
