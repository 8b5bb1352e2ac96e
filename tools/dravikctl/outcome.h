// What became of one display, as a typed outcome: made once from what its row recorded,
// then shown alike in every output format and counted into the exit status.
#pragma once

#include "dravikctl/console_context.h"
#include "dravikctl/dravikctl.h"
#include "flows/row_result.h"
#include "protocol/frame.h"

#include <QString>

#include <chrono>
#include <span>
#include <string>
#include <vector>

namespace dravik::ctl {

// What a finished display must show to have done what was asked.
struct RowExpect {
    bool replyAfterLast = false;  // an answer to the last frame is awaited
    bool setRequired = false;     // brightness: the set frame must have followed the query
    bool query = false;           // a value must be read back
};

// How a reply frame reads is flows::rules::ClassifyReply: status 3 and 4 of an acknowledge
// are NACK and NAV whatever was asked, never a value.

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

// Fills r.row (target, outcome, frames, reply, value, system text).
void Classify(TargetResult& r, const RowExpect& expect);

// 0 every display did what was asked; 3 no display could be reached at all; 1 otherwise.
int ExitStatusFor(std::span<const flows::Outcome> outcomes);

}  // namespace dravik::ctl
