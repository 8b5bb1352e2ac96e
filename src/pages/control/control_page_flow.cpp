// ControlPage: running a command button's flow. The flow runs on the page's worker thread
// against the page's targets (taken from the list when the button is pressed); the page only
// shows what it reports: cells, status line, TX and receive boxes, message boxes, values.
//
// While a flow runs the page is busy: a command pressed meanwhile waits its turn and starts
// when the flow has ended, the list, interface and port controls are disabled until then, and
// the window goes on painting and taking input. The row in flight is highlighted.
#include "pages/control/control_page.h"

#include "pages/control/control_flow_view.h"
#include "ui_control_page.h"

#include <QTableWidget>

namespace dravik::pages {

bool ControlPage::flowRunning() const { return worker_ && worker_->running(); }

void ControlPage::markRowInFlight(int row) { rows_->markInFlight(row); }

int ControlPage::rowInFlight() const { return rows_->inFlight(); }

void ControlPage::rowDone() {
    ++flowRowsDone_;
    showFlowProgress();
}

void ControlPage::showFlowProgress() { ShowProgress(ui_->discoveryProgress, flowRowsDone_, flowRows_); }

void ControlPage::runChanged(bool running) {
    RunChanged(running, *runLock_, *queue_, [this] { applyInterfaceState(); });
}

// A level or lock the operator changed while a walk runs: the edits as they stand (a field
// without an integer keeps the page's value, and says nothing until the next command reads it).
void ControlPage::postLevels() {
    if (!levelFeed_) return;
    protocol::DisplayValues v = values_;
    int level = 0;
    if (ParseInteger(ui_->backlightEdit->text(), level)) v.backlight = level;
    if (ParseInteger(ui_->brightnessEdit->text(), level)) v.brightness = level;
    if (ParseInteger(ui_->volumeEdit->text(), level)) v.volume = level;
    v.keyLock = ui_->keyLockCheck->isChecked();
    v.irLock = ui_->irLockCheck->isChecked();
    levelFeed_->post(v);
}

void ControlPage::runButton(flows::ButtonFlowId id) {
    if (queue_->defer(commandLabels_[id], [this, id] { runButton(id); })) return;
    if (busy() || flowRunning()) return;
    if (!worker_) {
        worker_ = std::make_unique<flows::FlowWorker>(this);
        flowView_ = std::make_unique<FlowView>(*this, *worker_);
    }

    const flows::ButtonFlow& flow = flows::FlowOf(id);
    // The values the command uses go with it: read now ("Please enter an integer." stops the
    // read at a field that holds none); what the operator sets during the walk follows
    // through the level feed.
    if (flow.readsControls) readControls();
    auto request = std::make_shared<flows::ControlRequest>();
    request->flow = &flow;
    request->lan = lan_;
    request->selected = selectedRow();
    request->values = values_;
    request->frame = frame_;
    request->targets = rows_->targets();
    levelFeed_ = std::make_shared<flows::LevelFeed>();
    request->levels = levelFeed_;

    flowGuard_.emplace(*this);
    // The walk's progress in rows, and "Stop" to end it after the row in flight.
    flowRows_ = static_cast<int>(request->targets.size());
    flowRowsDone_ = 0;
    showFlowProgress();
    ui_->discoveryStopButton->setEnabled(true);
    auto run = std::make_shared<flows::ControlRun>();
    FlowView* view = flowView_.get();
    const bool started = StartWithLinks(
        *worker_, port_, thread(),
        [request, run, view](const flows::ControlLinks& links) { *run = flows::RunControlFlow(*request, links, *view); },
        [this, run] {
            levelFeed_.reset();
            values_ = run->values;
            frame_ = run->frame;
            markRowInFlight(-1);
            ui_->discoveryStopButton->setEnabled(false);
            flowGuard_.reset();
        });
    if (!started) flowGuard_.reset();
}

}  // namespace dravik::pages
