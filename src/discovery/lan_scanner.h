// The LAN scan: one scan thread per press, which starts a probe thread for each host
// 1..254 of the page's subnet. Notifications reach the page on its own thread.
#pragma once

#include "discovery/backends.h"
#include "discovery/scan_types.h"

#include <memory>
#include <string_view>
#include <vector>

class QObject;

namespace dravik::discovery {

namespace detail {
struct ScanChannel;
struct ScanRun;
}  // namespace detail

// What a page implements to hear from its scans. Called on the thread that created the
// LanScanner, never after the scan was cancelled or the scanner destroyed.
class ScanSink {
public:
    virtual ~ScanSink() = default;
    virtual void OnScanResult(FoundDisplay found) = 0;  // WM_SCAN_RESULT (the probe waits for it)
    virtual void OnScanError() = 0;                      // WM_SCAN_ERROR (posted)
    virtual void OnScanFinished() = 0;                   // WM_SCAN_FINISHED (the probe waits for it)
    // WM_SCAN_PROGRESS (posted): `probed` of `total` hosts have been dealt with. The count
    // is read when the page gets the message, so it never goes down; it reaches `total`
    // once every probe has ended its work (host 254 then still waits to send "finished").
    virtual void OnScanProgress(int probed, int total) {
        (void)probed;
        (void)total;
    }
};

// Owned by a page; used only from the thread that created it, which must run a Qt event
// loop for the notifications to arrive. Destroying it cancels its scans and joins their
// threads (bounded: every wait of a probe checks the stop flag at least every 50 ms).
// Destroying it from inside one of its own notifications is safe too: its threads are
// then joined by a helper thread once that notification returns.
class LanScanner {
public:
    LanScanner(ScanSink& sink, ScanBackends backends, ScanOptions options = {});
    ~LanScanner();
    LanScanner(const LanScanner&) = delete;
    LanScanner& operator=(const LanScanner&) = delete;

    // One press of "IP Scan" with the page's address ("%d.%d.%d.%d"): probes prefix.1 to
    // prefix.254. A scan still running is cancelled first: it reports nothing more, so the
    // page's freshly cleared list gets only the new scan's rows. False, and nothing
    // started, when the address holds no "." or no thread could be started.
    bool Start(std::string_view localAddress);

    // Stops every scan: nothing more is reported; the threads end on their own shortly.
    void Cancel();

    // True while a scan or probe thread of this scanner is still running.
    bool Busy() const;

    const ScanOptions& options() const { return options_; }

private:
    void Reap();

    ScanSink& sink_;
    ScanBackends backends_;
    ScanOptions options_;
    std::unique_ptr<QObject> relay_;
    std::shared_ptr<detail::ScanChannel> channel_;
    std::vector<std::shared_ptr<detail::ScanRun>> runs_;
};

}  // namespace dravik::discovery
