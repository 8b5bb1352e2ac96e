// dravikctl's discovery: "scan" (the subnet scan and identity read of the pages' "IP Scan",
// over a range the user names), "search" (the monitor ID "Search" over an RS-232 line) and
// "check" (the "Check Monitor" of a list file or of given IDs). Each can save what it found
// as a list file of the tool. The scan's system access and the local address lookup come
// from the environment, so tests give their own.
#pragma once

#include "discovery/backends.h"
#include "discovery/scan_types.h"
#include "discovery/serial_search.h"
#include "targets/local_address.h"

#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace dravik::ctl {

struct DiscoveryEnvironment {
    // The presence test and identity connection of the scan; none: the system's.
    std::function<discovery::ScanBackends()> scanBackends;
    // Asked only for "scan --local"; none: the system's.
    targets::LocalAddressLookup* localAddress = nullptr;
    // The scan's timings and monitor IDs (the pages' by default; tests shorten them). The
    // hosts come from the range.
    discovery::ScanOptions scanOptions;
    // The waits of "search" and "check" (the Control page's by default).
    discovery::SerialDiscoveryOptions serialOptions = discovery::ControlPageSerialOptions();
};

// True when the arguments start with scan, search or check (or "help" and one of them).
bool IsDiscoveryCommand(std::span<const std::string> args);

// Runs one of them; returns the exit status (0 done, 1 some display failed, 2 usage, 3
// nothing could be reached).
int RunDiscoveryCommand(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                        const DiscoveryEnvironment& env = {});

// One range of a scan: host numbers first..last (1..254) of the /24 `prefix` ("A.B.C.").
struct ScanRange {
    std::string prefix;
    int first = discovery::kFirstHost;
    int last = discovery::kLastHost;
    bool operator==(const ScanRange&) const = default;
};

// "A.B.C.0/24" or "A.B.C.D-A.B.C.E" within one /24; nullopt with the reason otherwise.
std::optional<ScanRange> ParseScanRange(std::string_view text, std::string& error);

}  // namespace dravik::ctl
