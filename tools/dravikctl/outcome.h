// What the flows' outcomes mean for dravikctl: the exit status of a run (the connect
// diagnosis and the typed failure of a line are the run API's, flows/run.h).
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

// 0 every display did what was asked; 3 no display could be reached at all; 1 otherwise.
int ExitStatusFor(std::span<const flows::Outcome> outcomes);

}  // namespace dravik::ctl
