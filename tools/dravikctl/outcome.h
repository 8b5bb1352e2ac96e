// What the flows' outcomes mean for dravikctl: the connect diagnosis of the identity read,
// the typed failure of a line that does not open, and the exit status of a run.
#pragma once

#include "dravikctl/target_result.h"
#include "dravikctl/dravikctl.h"
#include "flows/row_result.h"
#include "protocol/frame.h"
#include "transport/serial_port.h"

#include <QString>

#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace dravik::ctl {

// Why a LAN connection failed: one more short open of the LAN link for the system's own
// words. `elapsed` is how long the failed attempt took: one that ran to the connect bound
// timed out, and is not tried again.
struct ConnectDiagnosis {
    flows::Outcome outcome = flows::Outcome::ConnectTimedOut;
    std::string systemText;
};
ConnectDiagnosis DiagnoseConnect(const QString& address, std::chrono::milliseconds elapsed);

// The failure to open an RS-232 line, typed.
flows::Outcome OpenFailureOutcome(transport::OpenReason reason);

// 0 every display did what was asked; 3 no display could be reached at all; 1 otherwise.
int ExitStatusFor(std::span<const flows::Outcome> outcomes);

}  // namespace dravik::ctl
