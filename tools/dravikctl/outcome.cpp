#include "dravikctl/outcome.h"

#include "flows/reply_rules.h"
#include "protocol/catalogue.h"
#include "transport/lan_link.h"

#include <QHostAddress>

#include <algorithm>

namespace dravik::ctl {

namespace {

using flows::Outcome;

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

ConnectDiagnosis DiagnoseConnect(const QString& address, std::chrono::milliseconds elapsed) {
    ConnectDiagnosis d;
    const auto bound = transport::LanLinkOptions{}.connectBound;
    const QString name = address.trimmed();
    QHostAddress literal;
    // An attempt that ran to the connect bound timed out; only a quick failure is asked again
    // (a name that does not resolve fails at once whatever it took before).
    if (literal.setAddress(name) && elapsed >= bound - std::chrono::milliseconds(100)) {
        d.outcome = Outcome::ConnectTimedOut;
        d.systemText = "no connection within " + std::to_string(bound.count() / 1000) + " s";
        return d;
    }
    transport::LanLinkOptions options;
    options.connectBound = std::chrono::milliseconds(kDiagnosisConnectMs);
    transport::links::LanLink link(options);
    const transport::LinkStatus st = link.open(name.toStdString());
    link.close();
    if (st.ok()) {
        // It answers now; the first attempt did not in time.
        d.outcome = Outcome::ConnectTimedOut;
        d.systemText = "no connection in time";
        return d;
    }
    d.outcome = flows::rules::OutcomeOf(st.error);
    d.systemText = st.systemText;
    return d;
}

Outcome OpenFailureOutcome(transport::OpenReason reason) {
    switch (reason) {
        case transport::OpenReason::PermissionDenied: return Outcome::PermissionDenied;
        case transport::OpenReason::InUse: return Outcome::PortBusy;
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
            set(r.openFailure ? OpenFailureOutcome(*r.openFailure) : Outcome::PortClosed);
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
        const Outcome o = flows::rules::ClassifyReply(AnyReply(r));
        set(o == Outcome::Replied ? Outcome::ShortReply : o);
        return;
    }
    if (!expect.replyAfterLast) {
        set(Outcome::Sent);
        return;
    }
    Outcome o = flows::rules::ClassifyReply(last);
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
