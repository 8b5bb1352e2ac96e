// The wall commands: power on and off (the selected row or all rows), wall on and off and
// the wall settings ("Update", always all rows), and the location test of one grid cell. They
// run on the page's worker thread (flows/wall_commands); the page shows what they report.
// While one runs the page is busy: a command pressed meanwhile waits its turn, the list,
// interface and port controls are disabled, and the window goes on painting and taking input.
#include "pages/wall/video_wall_page.h"

#include "pages/wall/wall_flow_view.h"
#include "ui_video_wall_page.h"

#include <QProgressBar>
#include <QPushButton>

namespace dravik::pages {

bool VideoWallPage::deferCommand(QAbstractButton* button, std::function<void()> again) {
    // "On" and "Off" stand in two boxes of this page: the box's title tells them apart.
    const bool onOff = button->text() == QStringLiteral("On") || button->text() == QStringLiteral("Off");
    return queue_->defer(CommandLabel(*button, onOff), std::move(again));
}

void VideoWallPage::runChanged(bool running) {
    RunChanged(running, *runLock_, *queue_, [this] { ApplyInterfaceState(); });
}

void VideoWallPage::SendPower(bool on) {
    if (deferCommand(on ? ui_->powerOnButton : ui_->powerOffButton, [this, on] { SendPower(on); })) return;
    runWall(on ? flows::WallCommand::PowerOn : flows::WallCommand::PowerOff, selectedRow());
}

void VideoWallPage::SendWallMode(bool on) {
    if (deferCommand(on ? ui_->wallOnButton : ui_->wallOffButton, [this, on] { SendWallMode(on); })) return;
    if (busy() || flowRunning()) return;
    readPage();
    runWall(on ? flows::WallCommand::WallOn : flows::WallCommand::WallOff, -1);
}

// The fields go with the command, read when it starts (a field without a valid integer says
// so once, and keeps its value); what the operator sets during the walk follows through the
// fields feed.
void VideoWallPage::SendWallSettings() {
    if (deferCommand(ui_->updateButton, [this] { SendWallSettings(); })) return;
    if (busy() || flowRunning()) return;
    if (rowCount() > 0) readPage();
    runWall(flows::WallCommand::Settings, -1);
}

void VideoWallPage::postFields() {
    if (!fieldsFeed_) return;
    flows::WallFields f = wallFields();
    for (const IntBinding& b : intBindings_) {
        const std::optional<int> value = FieldValue(b);
        if (!value) continue;  // says nothing until the next command reads it
        if (b.field == &Fields::columns) f.columns = *value;
        if (b.field == &Fields::rows) f.rows = *value;
    }
    fieldsFeed_->post(f);
}

bool VideoWallPage::flowRunning() const { return worker_ && worker_->running(); }

void VideoWallPage::markRowInFlight(int row) { rows_->markInFlight(row); }

void VideoWallPage::rowDone(int rows) {
    flowRowsDone_ += rows;
    ShowProgress(findChild<QProgressBar*>(QStringLiteral("discoveryProgress")), flowRowsDone_, flowRows_);
}

flows::WallFields VideoWallPage::wallFields() const {
    flows::WallFields f;
    f.columns = fields_.columns;
    f.rows = fields_.rows;
    f.wallEnable = fields_.wallEnable;
    f.frameComp = fields_.frameComp;
    return f;
}

void VideoWallPage::runWall(flows::WallCommand command, int row) {
    // A press while another command runs must not touch the frame it is sending.
    if (busy() || flowRunning()) return;
    if (!worker_) {
        worker_ = std::make_unique<flows::FlowWorker>(this);
        flowView_ = std::make_unique<FlowView>(*this, *worker_);
    }
    auto request = std::make_shared<flows::WallRequest>();
    request->command = command;
    request->lan = lan_;
    request->selected = row;
    request->fields = wallFields();
    if (command == flows::WallCommand::Settings) {
        fieldsFeed_ = std::make_shared<flows::Feed<flows::WallFields>>();
        request->fieldsFeed = fieldsFeed_;
    }
    request->gains = {fields_.red, fields_.green, fields_.blue};
    request->frame = frame_;
    request->targets = rows_->targets();
    flowGuard_.emplace(*this);
    // The walk's progress in rows, and "Stop" to end it after the row in flight.
    const bool oneRow = command == flows::WallCommand::GetGains || command == flows::WallCommand::SetGains;
    flowRows_ = oneRow ? 1 : static_cast<int>(request->targets.size());
    flowRowsDone_ = 0;
    rowDone(0);
    if (auto* stop = findChild<QPushButton*>(QStringLiteral("discoveryStopButton"))) stop->setEnabled(true);
    auto run = std::make_shared<flows::WallRun>();
    FlowView* view = flowView_.get();
    const bool started = StartWithLinks(
        *worker_, port_, thread(),
        [request, run, view](const flows::ControlLinks& links) { *run = flows::RunWallFlow(*request, links, *view); },
        [this, run] {
            fieldsFeed_.reset();
            frame_ = run->frame;
            markRowInFlight(-1);
            if (auto* stop = findChild<QPushButton*>(QStringLiteral("discoveryStopButton"))) stop->setEnabled(false);
            flowGuard_.reset();
        });
    if (!started) {
        fieldsFeed_.reset();
        flowGuard_.reset();
    }
}

}  // namespace dravik::pages
