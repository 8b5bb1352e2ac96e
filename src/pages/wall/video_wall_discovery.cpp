// The discovery buttons of the page: "IP Scan", the monitor ID "Search" and "Check Monitor"
// (the last two on the page's worker thread, like the commands). The work itself is the
// page-independent discovery code; this file hands it the page. "Stop" ends any of them.
#include "pages/wall/video_wall_page.h"
#include "flows/flow_worker.h"
#include "pages/serial_discovery_view.h"
#include "pages/wall/wall_flow_view.h"

#include "pages/page_scan.h"
#include "pages/wall/wall_discovery_view.h"
#include "discovery/scan_rules.h"
#include "discovery/serial_search.h"
#include "targets/local_address.h"
#include "ui_video_wall_page.h"

namespace dravik::pages {

void VideoWallPage::SetUpDiscovery() {
    discoveryView_ = std::make_unique<WallDiscoveryView>(*this);
    scan_ = std::make_unique<PageScan>(*discoveryView_, ScanPage::Wall,
                                                  env_.scanBackends, env_.scanOptions);
    connect(this, &VideoWallPage::ipScanRequested, this, &VideoWallPage::ScanLan);
    connect(this, &VideoWallPage::idSearchRequested, this, &VideoWallPage::SearchMonitorIds);
    connect(this, &VideoWallPage::checkMonitorRequested, this, &VideoWallPage::CheckMonitors);
    // One "Stop" for all: only one of them can run (the scan in LAN mode, the search over
    // RS-232, a command walking the rows).
    if (QPushButton* stop = discoveryView_->stopButton()) {
        connect(stop, &QPushButton::clicked, this, [this] {
            queue_->clear();
            if (worker_) worker_->requestStop();
            discoveryView_->requestStop();
            scan_->Stop();
        });
    }
}

void VideoWallPage::ScanLan() {
    if (deferCommand(ui_->ipScanButton, [this] { ScanLan(); })) return;
    // A flow is still walking the rows the scan would clear.
    if (!lan_ || busy()) return;
    // The wall scans the subnet this computer is on, whatever was typed into the box.
    const targets::LocalAddress local = targets::LookUpLocalAddress(localAddressLookup());
    setIpAddressText(local.shown);
    if (!local.usable) {
        feedback_->message(ui::texts::kLanError);
        return;
    }
    readPage();
    scan_->Start(local.shown);
    RebuildGrid();
}

void VideoWallPage::SearchMonitorIds() {
    if (queue_->defer(QStringLiteral("ID Search"), [this] { SearchMonitorIds(); })) return;
    SerialDiscoveryView<VideoWallPage>::StartSearch(*this, discovery::WallPageSerialOptions());
}

void VideoWallPage::CheckMonitors() {
    if (deferCommand(ui_->checkMonitorButton, [this] { CheckMonitors(); })) return;
    SerialDiscoveryView<VideoWallPage>::StartCheck(*this, discovery::WallPageSerialOptions());
}

bool VideoWallPage::scanRunning() const { return scan_->Busy(); }

}  // namespace dravik::pages
