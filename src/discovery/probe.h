// One probe: presence test, identity queries, report. No threads and no Qt here: the
// scanner runs it on a probe thread and supplies the reporter.
#pragma once

#include "discovery/backends.h"
#include "discovery/scan_types.h"
#include "discovery/stop_signal.h"

#include <optional>
#include <string>

namespace dravik::discovery {

// How a probe reports to its page.
class ProbeReporter {
public:
    virtual ~ProbeReporter() = default;
    virtual void Result(FoundDisplay found) = 0;  // WM_SCAN_RESULT: returns once the page has it
    virtual void Error() = 0;                     // WM_SCAN_ERROR
    virtual void Finished() = 0;                  // WM_SCAN_FINISHED: returns once the page has it
    // The host has been dealt with (absent, reported, no display, or an error); before the
    // finish wait of host 254. Not called for a stopped probe.
    virtual void Probed() {}
};

struct IdentityAnswer {
    std::string model;
    int monitorId = 0;
    bool operator==(const IdentityAnswer&) const = default;
};

// Tries the monitor IDs of `options` in turn with the first identity query (and the second
// one after a tag); the first ID answered with a reply frame gives the answer.
std::optional<IdentityAnswer> IdentifyDisplay(IdentitySession& session, const ScanOptions& options,
                                              const StopSignal& stop);

// The whole probe of `request.address`. Reports nothing once `stop` is raised.
void RunProbe(const ScanRequest& request, const ScanBackends& backends, const ScanOptions& options,
              const StopSignal& stop, ProbeReporter& reporter);

}  // namespace dravik::discovery
