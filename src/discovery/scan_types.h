// Values that travel between the scan threads and the page.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace dravik::discovery {

// The three notifications a scan gives its page, by their window message numbers.
enum ScanMessage : int {
    WM_SCAN_RESULT = 0x0A02,    // a display was found; the probe waits until the page is done
    WM_SCAN_ERROR = 0x0A03,     // a probe failed; posted, nobody waits
    WM_SCAN_FINISHED = 0x0A04,  // the probe of host 254 is done; the probe waits
    WM_SCAN_PROGRESS = 0x0A05,  // one more host has been probed; posted, nobody waits
};

// What a scan or probe thread is started with; each thread owns its own copy.
struct ScanRequest {
    std::string address;  // the page's address (scan thread) or the target (probe thread)
    int host = 0;         // the probe's host number 1..254; 0 for the scan thread
    // Host 254 only: "finished" goes out at this time, or when the probe is done if that is
    // later. The scan thread sets it to the end of its last spacing plus the finish delay,
    // so the finish delay runs beside that probe's own echo wait instead of after it and the
    // scan takes its 254 spacings plus the finish delay. Unset: the finish delay counts
    // from the end of the probe.
    std::optional<std::chrono::steady_clock::time_point> finishAt = std::nullopt;
};

// One display found: handed to the page by value.
struct FoundDisplay {
    std::string address;  // dotted IPv4 address of the display
    std::string model;    // model text as reported (bytes as Latin-1 characters), or "unknow"
    int monitorId = 0;    // the monitor ID it answered to, 1..254

    bool operator==(const FoundDisplay&) const = default;
};

inline constexpr int kFirstHost = 1;
inline constexpr int kLastHost = 254;

// Timings and ranges of a scan. The pages use the defaults; tests shorten them.
struct ScanOptions {
    std::chrono::milliseconds probeSpacing{80};      // between two probe starts
    std::chrono::milliseconds echoTimeout{5000};     // waiting for the echo reply
    std::chrono::milliseconds connectTimeout{5000};  // TCP connect to the display
    std::chrono::milliseconds identityTimeout{6000}; // waiting for each identity reply
    std::chrono::milliseconds finishDelay{5000};     // after the probe of host 254, before "finished"
    int firstMonitorId = 1;
    int lastMonitorId = 254;
    // The host numbers probed (the pages: all of 1..254). The last one tells that the scan is
    // through.
    int firstHost = kFirstHost;
    int lastHost = kLastHost;
    std::uint16_t port = 5000;
};

// How many hosts a scan with these options probes.
inline int HostCount(const ScanOptions& options) {
    return options.lastHost >= options.firstHost ? options.lastHost - options.firstHost + 1 : 0;
}

}  // namespace dravik::discovery
