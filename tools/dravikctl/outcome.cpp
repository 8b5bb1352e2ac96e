#include "dravikctl/outcome.h"

#include "flows/reply_rules.h"
#include "protocol/catalogue.h"
#include "transport/lan_link.h"

#include <QHostAddress>

#include <algorithm>

namespace dravik::ctl {

namespace {

using flows::Outcome;

// The diagnosis connect is short: the display already failed once.
constexpr int kDiagnosisConnectMs = 1000;

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
    transport::LanLink link(options);
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

int ExitStatusFor(std::span<const Outcome> outcomes) {
    if (std::all_of(outcomes.begin(), outcomes.end(), flows::Succeeded)) return kExitOk;
    if (!outcomes.empty() && std::all_of(outcomes.begin(), outcomes.end(), flows::Unreachable)) return kExitNothingReached;
    return kExitFailed;
}

}  // namespace dravik::ctl
