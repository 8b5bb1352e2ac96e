// "IP Scan" as a page runs it: the page's own LanScanner, the list rows the reports become
// and what the status line and the button show. The page finds the address to scan (its
// IP box, or the local address lookup on the wall page) and hands it to Start().
#pragma once

#include "discovery/backends.h"
#include "pages/discovery_view.h"
#include "discovery/lan_scanner.h"
#include "discovery/scan_types.h"

#include <QString>

#include <functional>
#include <memory>

namespace dravik::pages {

// Which page's rule decides whether a report becomes a row.
enum class ScanPage { Control, Wall };

// Gives the system access a scan needs; called at the first press.
using ScanBackendsFactory = std::function<discovery::ScanBackends()>;

class PageScan final : public discovery::ScanSink {
public:
    // No factory (or one that gives incomplete backends): every press ends in " SCAN ERROR ! ".
    PageScan(DiscoveryView& view, ScanPage page, ScanBackendsFactory factory,
             discovery::ScanOptions options = {});
    ~PageScan() override;
    PageScan(const PageScan&) = delete;
    PageScan& operator=(const PageScan&) = delete;

    // One press with the page's address: the list is cleared, the scan starts (a scan still
    // running is cancelled and says nothing more), "IP Scan" is disabled and the status line
    // reads "Connecting...". False when no scan could start: the status line then reads
    // " SCAN ERROR ! " and the button stays enabled.
    bool Start(const QString& address);

    // The page left LAN mode: the scan says nothing more, and "Connecting..." goes away.
    void Cancel();
    // The operator's stop: the scan's threads are stopped and joined, the rows found so far
    // stay, "IP Scan" is enabled again and the status line is cleared; no "Scan Finished".
    // False when no scan was running.
    bool Stop();
    bool Busy() const;

    void OnScanResult(discovery::FoundDisplay found) override;
    void OnScanError() override;
    void OnScanFinished() override;
    void OnScanProgress(int probed, int total) override;

private:
    // False, with the scan cancelled, when the page is no longer in LAN mode: rows, the
    // button and the status line then belong to the RS-232 list.
    bool StillScanning();

    DiscoveryView& view_;
    ScanPage page_;
    ScanBackendsFactory factory_;
    discovery::ScanBackends backends_;  // from the factory, at the first press
    discovery::ScanOptions options_;
    // Last: destroyed first, which cancels the scans and joins their threads.
    std::unique_ptr<discovery::LanScanner> scanner_;
};

}  // namespace dravik::pages
