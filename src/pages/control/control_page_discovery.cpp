// ControlPage: the discovery buttons. "IP Scan" scans the subnet of the address in the IP
// box ("Lock Model" keeps only the selected model); in RS-232 mode "Search" asks monitor IDs
// 1..25 who they are and "Check Monitor" verifies the listed displays, both on the page's
// worker thread like the commands. The work itself is the page-independent discovery code;
// this file hands it the page. "Stop" ends any of them.
#include "pages/control/control_page.h"

#include "discovery/page_scan.h"
#include "discovery/serial_search.h"
#include "pages/control/control_discovery_view.h"
#include "pages/control/control_flow_view.h"
#include "pages/serial_discovery_view.h"
#include "flows/flow_worker.h"
#include "ui_control_page.h"

namespace dravik::pages {

void ControlPage::setUpDiscovery() {
    discoveryView_ = std::make_unique<DiscoveryAdapter>(*this);
    scan_ = std::make_unique<discovery::PageScan>(*discoveryView_, discovery::ScanPage::Control,
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
    // A flow is still walking the rows the scan would clear.
    if (!lan_ || busy()) return;
    // A bad integer elsewhere on the page does not stop the scan.
    readControls();
    scan_->Start(ui_->ipAddressEdit->text());
}

SerialDiscoveryView<ControlPage>& ControlPage::serialView() {
    if (!worker_) {
        worker_ = std::make_unique<flows::FlowWorker>(this);
        flowView_ = std::make_unique<FlowView>(*this, *worker_);
    }
    if (!serialView_) serialView_ = std::make_unique<SerialDiscoveryView<ControlPage>>(*this, *discoveryView_, *worker_);
    return *serialView_;
}

// The page is busy from the press to the end: the worker holds the COM port meanwhile.
void ControlPage::startSerialDiscovery(const std::function<void(transport::Link&)>& job, std::function<void()> done) {
    StartSerialJob(*this, flowGuard_, *discoveryView_, *worker_, port_, thread(), job,
                   [this, done = std::move(done)] {
                       markRowInFlight(-1);
                       if (done) done();
                   });
}

void ControlPage::checkMonitors() {
    // The button is disabled in LAN mode; there is nothing to verify over RS-232 there.
    if (lan_ || busy() || flowRunning()) return;
    auto request = std::make_shared<discovery::CheckRequest>();
    request->options = discovery::ControlPageSerialOptions();
    request->targets = rows_->targets();
    request->selected = selectedRow();
    const int rows = request->selected >= 0 && request->selected < rowCount() ? 1 : rowCount();
    SerialDiscoveryView<ControlPage>& view = serialView();
    view.prepare(request->options, rows);
    if (rows > 0) {
        discoveryView_->showProgress(0, rows);
        discoveryView_->setStopEnabled(true);
    }
    startSerialDiscovery([request, &view](transport::Link& serial) { discovery::RunMonitorCheck(*request, serial, view); },
                         nullptr);
}

void ControlPage::searchMonitorIds() {
    if (lan_ || busy() || flowRunning()) return;
    auto request = std::make_shared<discovery::SearchRequest>();
    request->options = discovery::ControlPageSerialOptions();
    request->model = discoveryView_->selectedModel().toLatin1().toStdString();
    SerialDiscoveryView<ControlPage>& view = serialView();
    view.prepare(request->options, 0);
    auto ran = std::make_shared<bool>(false);
    startSerialDiscovery(
        [request, ran, &view](transport::Link& serial) { *ran = discovery::RunIdSearch(*request, serial, view).ran; },
        [this, ran] {
            // Only where the button belongs: the line may have gone away meanwhile.
            if (*ran) discoveryView_->setIdSearchEnabled(!lan_ && port_.isOpen());
        });
}

}  // namespace dravik::pages
