// Runs a command on displays through the Control and wall pages' flows (flows::RunControlFlow,
// flows::RunWallFlow): a LAN link per display, one RS-232 link per line shared by its IDs in
// order. Every display is a flow of its own that starts from the command line's values (an
// RS-232 line's displays share the line, not the values), so a display's result never
// depends on the displays before it or on --parallel. Each display's result is the flow's
// RowResult; results are printed in the order the displays were given.
#pragma once

#include "dravikctl/cli_options.h"
#include "dravikctl/command_table.h"
#include "dravikctl/target_result.h"
#include "dravikctl/outcome.h"
#include "dravikctl/report.h"

#include <optional>
#include <vector>

namespace dravik::ctl {

struct RunRequest {
    Subcommand subcommand = Subcommand::Send;
    const CommandEntry* entry = nullptr;  // nullptr: "raw"
    protocol::Frame raw;                // "raw": the frame with its checksum
    FrameInputs inputs;
    std::vector<targets::Target> targets;
    ReportStyle style;
    int parallel = 0;     // LAN displays at once; 0: one after the other
    bool noWait = false;  // send: do not read the display's acknowledge
    std::vector<SkippedRow> skipped;  // list rows left out (--skip-invalid), reported first
};

// Every display gets the command; returns the exit status (see ExitStatusFor).
int RunTargets(const RunRequest& request, Console& console);

// The descriptors a run of P LAN displays at once needs, and the P that the process's
// descriptor limit allows (after raising the soft limit as far as the hard one).
int AffordableParallel(int wanted, std::string* message);

}  // namespace dravik::ctl
