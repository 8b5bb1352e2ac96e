// ControlPage: the discovery buttons. "IP Scan" scans the subnet of the address in the IP
// box ("Lock Model" keeps only the selected model); in RS-232 mode "Search" asks monitor IDs
// 1..25 who they are and "Check Monitor" verifies the listed displays. The work itself is
// the page-independent discovery code; this file hands it the page. "Stop" ends either.
#include "pages/control/control_page.h"

#include "discovery/page_scan.h"
#include "discovery/serial_search.h"
#include "pages/control/control_discovery_view.h"
#include "flows/flow_worker.h"
#include "ui_control_page.h"

namespace dravik::pages {

void ControlPage::setUpDiscovery() {
    discoveryView_ = std::make_unique<DiscoveryAdapter>(*this);
    scan_ = std::make_unique<discovery::PageScan>(*this, *discoveryView_, discovery::ScanPage::Control,
                                                  env_.scanBackends, env_.scanOptions);
    // One "Stop" for all: only one of them can run (the scan in LAN mode, the search over
    // RS-232, a command walking the rows).
    connect(ui_->discoveryStopButton, &QPushButton::clicked, this, [this] {
        if (worker_) worker_->requestStop();
        discoveryView_->requestStop();
        scan_->Stop();
    });
}

bool ControlPage::scanRunning() const { return scan_->Busy(); }

void ControlPage::scanLan() {
    // A flow inside a pumping wait is still walking the rows the scan would clear.
    if (!lan_ || busy()) return;
    // A bad integer elsewhere on the page does not stop the scan.
    readControls();
    scan_->Start(ui_->ipAddressEdit->text());
}

void ControlPage::checkMonitors() { discovery::CheckMonitors(*this, discovery::ControlPageSerialOptions()); }

void ControlPage::searchMonitorIds() {
    discovery::SearchMonitorIds(*this, *discoveryView_, discovery::ControlPageSerialOptions());
}

}  // namespace dravik::pages
