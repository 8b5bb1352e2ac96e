// Runs a command on displays through the Control page's flows and exchanges, with the
// console context standing in for the page; prints each display's result in the order
// the displays were given.
#pragma once

#include "dravikctl/cli_options.h"
#include "dravikctl/command_table.h"
#include "dravikctl/console_context.h"
#include "dravikctl/report.h"

#include <vector>

namespace dravik::ctl {

struct RunRequest {
    Subcommand subcommand = Subcommand::Send;
    const CommandEntry* entry = nullptr;  // nullptr: "raw"
    protocol::Frame raw;                // "raw": the frame with its checksum
    FrameInputs inputs;
    std::vector<Target> targets;
    ReportStyle style;
    int parallel = 0;  // LAN displays at once; 0: one after the other
};

// Every display gets the command; returns 0 when all of them are ok, else 1.
int RunTargets(const RunRequest& request, Console& console);

// Whether a finished display did what was asked; sets result.ok and result.error.
struct RowExpect {
    bool replyAfterLast = false;  // the exchange waits for an answer to its last frame
    bool setRequired = false;     // brightness: the set frame must have followed the query
    bool query = false;
};
void Evaluate(TargetResult& result, const RowExpect& expect);

}  // namespace dravik::ctl
