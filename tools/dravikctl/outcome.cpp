#include "dravikctl/outcome.h"

#include "protocol/catalogue.h"
#include "transport/lan.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace dravik::ctl {

namespace {

using flows::Outcome;

constexpr protocol::Byte kStatusNack = 0x03;
constexpr protocol::Byte kStatusNav = 0x04;
constexpr protocol::Byte kGainReply = 0x37;
// The diagnosis connect is short: the display already failed once.
constexpr int kDiagnosisConnectMs = 1000;

// The last reply that came after the last frame sent; empty when none did.
protocol::Bytes LastReply(const TargetResult& r) {
    protocol::Bytes last;
    bool afterTx = false;
    for (const ExchangeEvent& e : r.exchange) {
        if (e.kind == ExchangeEvent::Kind::Tx) {
            afterTx = true;
            last.clear();
        } else if (afterTx) {
            last = e.bytes;
        }
    }
    return last;
}

protocol::Bytes AnyReply(const TargetResult& r) {
    for (auto it = r.exchange.rbegin(); it != r.exchange.rend(); ++it)
        if (it->kind == ExchangeEvent::Kind::Rx) return it->bytes;
    return {};
}

flows::Decoded DecodedOf(const TargetResult& r) {
    flows::Decoded d;
    if (!r.decodedCommand) return d;
    const auto& v = r.values;
    switch (*r.decodedCommand) {
        case protocol::kCmdTemperature: d.temperature = v.temperature; break;
        case protocol::kCmdHours: d.hours = v.hours; break;
        case protocol::kCmdBacklightQuery: d.backlight = v.backlight; break;
        case protocol::kCmdVideoParamsQuery: {
            std::array<int, 6> video{};
            std::copy_n(v.video.begin(), std::min<std::size_t>(video.size(), v.video.size()), video.begin());
            d.video = video;
            break;
        }
        case kGainReply: d.gains = r.gains; break;
        default: break;
    }
    return d;
}

}  // namespace

Outcome ClassifyReply(std::span<const protocol::Byte> reply) {
    if (reply.empty()) return Outcome::NoReply;
    if (reply[0] != protocol::kReplyHeader) return Outcome::WrongHeader;
    if (reply.size() < 5) return Outcome::ShortReply;
    // Byte 4 counts the bytes after it, the checksum last.
    const std::size_t total = 5u + reply[4];
    if (reply[4] < 3 || reply.size() < total) return Outcome::ShortReply;
    if (protocol::Checksum(reply.first(total - 1)) != reply[total - 1]) return Outcome::BadChecksum;
    const bool acknowledge = reply[4] == 4;
    if (acknowledge) {
        if (reply[7] == kStatusNack) return Outcome::Nack;
        if (reply[7] == kStatusNav) return Outcome::Nav;
    }
    return Outcome::Replied;
}

ConnectDiagnosis DiagnoseConnect(const QString& address, std::chrono::milliseconds elapsed) {
    ConnectDiagnosis d;
    const QString name = address.trimmed();
    QHostAddress host;
    if (!host.setAddress(name)) {
        const QHostInfo info = name.isEmpty() ? QHostInfo() : QHostInfo::fromName(name);
        const auto addresses = info.addresses();
        const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const QHostAddress& a) {
            return a.protocol() == QAbstractSocket::IPv4Protocol;
        });
        if (name.isEmpty() || info.error() != QHostInfo::NoError || v4 == addresses.end()) {
            d.outcome = Outcome::NameNotResolved;
            d.systemText = name.isEmpty() ? "empty address"
                           : info.error() != QHostInfo::NoError ? info.errorString().toStdString()
                                                               : "no IPv4 address for the name";
            return d;
        }
        host = *v4;
    }
    if (host.protocol() != QAbstractSocket::IPv4Protocol) {
        d.outcome = Outcome::NameNotResolved;
        d.systemText = "not an IPv4 address";
        return d;
    }
    const transport::LanOptions lan;
    if (elapsed.count() >= lan.connectTimeoutMs - 100) {
        d.outcome = Outcome::ConnectTimedOut;
        d.systemText = "no connection within " + std::to_string(lan.connectTimeoutMs / 1000) + " s";
        return d;
    }
    QTcpSocket socket;
    socket.connectToHost(host, lan.port);
    if (socket.waitForConnected(kDiagnosisConnectMs)) {
        // It answers now; the first attempt did not in time.
        socket.abort();
        d.outcome = Outcome::ConnectTimedOut;
        d.systemText = "no connection in time";
        return d;
    }
    d.systemText = socket.errorString().toStdString();
    switch (socket.error()) {
        case QAbstractSocket::ConnectionRefusedError: d.outcome = Outcome::ConnectRefused; break;
        case QAbstractSocket::NetworkError: d.outcome = Outcome::NoRoute; break;
        case QAbstractSocket::HostNotFoundError: d.outcome = Outcome::NameNotResolved; break;
        case QAbstractSocket::SocketAccessError: d.outcome = Outcome::PermissionDenied; break;
        case QAbstractSocket::RemoteHostClosedError: d.outcome = Outcome::PeerClosed; break;
        default: d.outcome = Outcome::ConnectTimedOut; break;
    }
    socket.abort();
    return d;
}

Outcome OpenFailureOutcome(transport::OpenResult result, const QString& device) {
    switch (result) {
        case transport::OpenResult::Opened: return Outcome::Sent;
        case transport::OpenResult::NoSuchPort: return Outcome::PortClosed;
        case transport::OpenResult::OpeningError:
            // Gone, not ours to open, or held by another program.
            if (::access(device.toLocal8Bit().constData(), R_OK | W_OK) != 0) {
                if (errno == EACCES) return Outcome::PermissionDenied;
                return Outcome::PortClosed;
            }
            return Outcome::PortBusy;
        default: return Outcome::PortClosed;
    }
}

void Classify(TargetResult& r, const RowExpect& expect) {
    flows::RowResult& row = r.row;
    row.target = r.target.toTarget();
    row.framesSent.clear();
    for (const ExchangeEvent& e : r.exchange)
        if (e.kind == ExchangeEvent::Kind::Tx) row.framesSent.emplace_back(e.bytes);
    const protocol::Bytes last = LastReply(r);
    row.reply = last.empty() ? AnyReply(r) : last;

    const auto set = [&](Outcome o) { row.outcome = o; };
    switch (r.progress) {
        case RowProgress::Refused:
        case RowProgress::Silent:
            set(Outcome::RefusedForModel);
            if (row.systemText.empty())
                row.systemText = r.progress == RowProgress::Refused ? r.refusal.toStdString()
                                                                   : r.target.model.toStdString() + " gets no frame";
            return;
        case RowProgress::Pending:
        case RowProgress::NotSent:
            set(r.openFailure ? OpenFailureOutcome(*r.openFailure, r.target.where) : Outcome::PortClosed);
            return;
        case RowProgress::Sent: break;
    }
    if (!r.target.serial && r.link == QLatin1String("N")) {
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(r.finished - r.started);
        const ConnectDiagnosis d = DiagnoseConnect(r.target.where, elapsed);
        set(d.outcome);
        row.systemText = d.systemText;
        return;
    }
    if (r.target.serial && !r.portOpen) {
        set(Outcome::PortClosed);
        row.systemText = "COM Port Closed";
        return;
    }
    if (expect.setRequired && !r.setAsked) {
        // The query's answer did not let the set frame follow.
        const Outcome o = ClassifyReply(AnyReply(r));
        set(o == Outcome::Replied ? Outcome::ShortReply : o);
        return;
    }
    if (!expect.replyAfterLast) {
        set(Outcome::Sent);
        return;
    }
    Outcome o = ClassifyReply(last);
    if (o == Outcome::Replied && expect.query) {
        if (!r.decodedCommand || r.decodedCommand != r.queryCommand) {
            o = Outcome::ShortReply;
        } else {
            row.value = DecodedOf(r);
        }
    }
    set(o);
}

int ExitStatusFor(std::span<const Outcome> outcomes) {
    if (std::all_of(outcomes.begin(), outcomes.end(), flows::Succeeded)) return kExitOk;
    if (!outcomes.empty() && std::all_of(outcomes.begin(), outcomes.end(), flows::Unreachable)) return kExitNothingReached;
    return kExitFailed;
}

}  // namespace dravik::ctl
