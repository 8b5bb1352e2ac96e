// ControlPage: the discovery buttons. "IP Scan" scans the subnet of the address in the IP
// box ("Lock Model" keeps only the selected model); in RS-232 mode "Search" asks monitor IDs
// 1..25 who they are and "Check Monitor" verifies the listed displays, both on the page's
// worker thread like the commands. The work itself is the page-independent discovery code;
// this file hands it the page. "Stop" ends any of them.
#include "pages/control/control_page.h"

#include "pages/page_scan.h"
#include "discovery/serial_search.h"
#include "pages/control/control_discovery_view.h"
#include "pages/control/control_flow_view.h"
#include "pages/serial_discovery_view.h"
#include "flows/flow_worker.h"
#include "ui_control_page.h"

namespace dravik::pages {

void ControlPage::setUpDiscovery() {
    discoveryView_ = std::make_unique<DiscoveryAdapter>(*this);
    scan_ = std::make_unique<PageScan>(*discoveryView_, ScanPage::Control,
                                                  env_.scanBackends, env_.scanOptions);
    // One "Stop" for all: only one of them can run (the scan in LAN mode, the search over
    // RS-232, a command walking the rows).
    connect(ui_->discoveryStopButton, &QPushButton::clicked, this, [this] {
        queue_->clear();
        if (worker_) worker_->requestStop();
        discoveryView_->requestStop();
        scan_->Stop();
    });
}

bool ControlPage::scanRunning() const { return scan_->Busy(); }

void ControlPage::scanLan() {
    if (queue_->defer(CommandLabel(*ui_->ipScanButton), [this] { scanLan(); })) return;
    // A flow is still walking the rows the scan would clear.
    if (!lan_ || busy()) return;
    // A bad integer elsewhere on the page does not stop the scan.
    readControls();
    scan_->Start(ui_->ipAddressEdit->text());
}

void ControlPage::checkMonitors() {
    if (queue_->defer(CommandLabel(*ui_->checkMonitorButton), [this] { checkMonitors(); })) return;
    SerialDiscoveryView<ControlPage>::StartCheck(*this, discovery::ControlPageSerialOptions());
}

void ControlPage::searchMonitorIds() {
    if (queue_->defer(QStringLiteral("ID Search"), [this] { searchMonitorIds(); })) return;
    SerialDiscoveryView<ControlPage>::StartSearch(*this, discovery::ControlPageSerialOptions());
}

}  // namespace dravik::pages
