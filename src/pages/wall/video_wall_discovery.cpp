// The discovery buttons of the page: "IP Scan", the monitor ID "Search" and "Check Monitor"
// (the last two on the page's worker thread, like the commands). The work itself is the
// page-independent discovery code; this file hands it the page. "Stop" ends any of them.
#include "pages/wall/video_wall_page.h"
#include "flows/flow_worker.h"
#include "pages/serial_discovery_view.h"
#include "pages/wall/wall_flow_view.h"

#include "discovery/page_scan.h"
#include "pages/wall/wall_discovery_view.h"
#include "discovery/scan_rules.h"
#include "discovery/serial_search.h"
#include "targets/local_address.h"

namespace dravik::pages {

void VideoWallPage::SetUpDiscovery() {
    discoveryView_ = std::make_unique<WallDiscoveryView>(*this);
    scan_ = std::make_unique<discovery::PageScan>(*discoveryView_, discovery::ScanPage::Wall,
                                                  env_.scanBackends, env_.scanOptions);
    connect(this, &VideoWallPage::ipScanRequested, this, &VideoWallPage::ScanLan);
    connect(this, &VideoWallPage::idSearchRequested, this, &VideoWallPage::SearchMonitorIds);
    connect(this, &VideoWallPage::checkMonitorRequested, this, &VideoWallPage::CheckMonitors);
    // One "Stop" for all: only one of them can run (the scan in LAN mode, the search over
    // RS-232, a command walking the rows).
    if (QPushButton* stop = discoveryView_->stopButton()) {
        connect(stop, &QPushButton::clicked, this, [this] {
            if (worker_) worker_->requestStop();
            discoveryView_->requestStop();
            scan_->Stop();
        });
    }
}

void VideoWallPage::ScanLan() {
    // A flow is still walking the rows the scan would clear.
    if (!lan_ || busy()) return;
    // The wall scans the subnet this computer is on, whatever was typed into the box.
    const targets::LocalAddress local = targets::LookUpLocalAddress(localAddressLookup());
    setIpAddressText(local.shown);
    if (!local.usable) {
        feedback_->message(QString::fromLatin1(discovery::kLanErrorText.data(),
                                               static_cast<qsizetype>(discovery::kLanErrorText.size())));
        return;
    }
    readPage();
    scan_->Start(local.shown);
    RebuildGrid();
}

SerialDiscoveryView<VideoWallPage>& VideoWallPage::serialView() {
    if (!worker_) {
        worker_ = std::make_unique<flows::FlowWorker>(this);
        flowView_ = std::make_unique<FlowView>(*this, *worker_);
    }
    if (!serialView_) {
        serialView_ = std::make_unique<SerialDiscoveryView<VideoWallPage>>(*this, *discoveryView_, *worker_);
    }
    return *serialView_;
}

// The page is busy from the press to the end: the worker holds the COM port meanwhile.
void VideoWallPage::startSerialDiscovery(const std::function<void(transport::Link&)>& job, std::function<void()> done) {
    StartSerialJob(*this, flowGuard_, *discoveryView_, *worker_, port_, thread(), job,
                   [this, done = std::move(done)] {
                       markRowInFlight(-1);
                       if (done) done();
                   });
}

void VideoWallPage::SearchMonitorIds() {
    if (lan_ || busy() || flowRunning()) return;
    auto request = std::make_shared<discovery::SearchRequest>();
    request->options = discovery::WallPageSerialOptions();
    request->model = discoveryView_->selectedModel().toLatin1().toStdString();
    SerialDiscoveryView<VideoWallPage>& view = serialView();
    view.prepare(request->options, 0);
    auto ran = std::make_shared<bool>(false);
    startSerialDiscovery(
        [request, ran, &view](transport::Link& serial) { *ran = discovery::RunIdSearch(*request, serial, view).ran; },
        [this, ran] {
            // Only where the button belongs: the line may have gone away meanwhile.
            if (*ran) discoveryView_->setIdSearchEnabled(!lan_ && port_.isOpen());
        });
}

void VideoWallPage::CheckMonitors() {
    // The button is disabled in LAN mode; there is nothing to verify over RS-232 there.
    if (lan_ || busy() || flowRunning()) return;
    auto request = std::make_shared<discovery::CheckRequest>();
    request->options = discovery::WallPageSerialOptions();
    request->targets = rows_->targets();
    request->selected = selectedRow();
    const int rows = request->selected >= 0 && request->selected < rowCount() ? 1 : rowCount();
    SerialDiscoveryView<VideoWallPage>& view = serialView();
    view.prepare(request->options, rows);
    if (rows > 0) {
        discoveryView_->showProgress(0, rows);
        discoveryView_->setStopEnabled(true);
    }
    startSerialDiscovery([request, &view](transport::Link& serial) { discovery::RunMonitorCheck(*request, serial, view); },
                         nullptr);
}

bool VideoWallPage::scanRunning() const { return scan_->Busy(); }

}  // namespace dravik::pages
