// ControlPage: running a command button's flow. The flow runs on the page's worker thread
// against the page's targets (taken from the list when the button is pressed); the page only
// shows what it reports: cells, status line, TX and receive boxes, message boxes, values.
//
// While a flow runs the page is busy: another command press, the interface switch, the list
// and port buttons are ignored, as they have always been during a running flow, and the
// window goes on painting and taking input. The row in flight is highlighted.
#include "pages/control/control_page.h"

#include "flows/basic_links.h"
#include "pages/control/control_flow_view.h"
#include "ui_control_page.h"

#include <QTableWidget>

namespace dravik::pages {

bool ControlPage::flowRunning() const { return worker_ && worker_->running(); }

void ControlPage::markRowInFlight(int row) {
    QTableWidget* list = ui_->targetList;
    const auto paint = [list](int r, bool on) {
        if (r < 0 || r >= list->rowCount()) return;
        for (int col = 0; col < list->columnCount(); ++col) {
            if (QTableWidgetItem* item = list->item(r, col)) {
                QFont font = item->font();
                font.setBold(on);
                item->setFont(font);
            }
        }
    };
    paint(rowInFlight_, false);
    rowInFlight_ = row;
    paint(row, true);
}

void ControlPage::runButton(transport::ButtonFlowId id) {
    if (busy() || flowRunning()) return;  // a flow runs: the press is ignored
    if (!worker_) {
        worker_ = std::make_unique<flows::FlowWorker>(this);
        flowView_ = std::make_unique<FlowView>(*this, *worker_);
    }

    auto request = std::make_shared<flows::ControlRequest>();
    request->flow = &transport::FlowOf(id);
    request->lan = lan_;
    request->selected = selectedRow();
    request->values = values_;
    request->frame = frame_;
    for (int row = 0; row < rowCount(); ++row) {
        targets::Target t;
        t.interface = lan_ ? targets::Interface::Lan : targets::Interface::Serial;
        t.model = cellText(row, transport::kColModel).toStdString();
        t.pos = cellText(row, transport::kColPos).toStdString();
        if (lan_) {
            t.address = cellText(row, transport::kColAddress).toStdString();
            t.id = cellText(row, transport::kColId).toStdString();
        } else {
            t.id = cellText(row, transport::kColAddress).toStdString();
        }
        request->targets.push_back(std::move(t));
    }

    flowGuard_.emplace(*this);
    // The open port goes to the worker for the flow and comes back with its end.
    QThread* home = thread();
    QThread* worker = worker_->thread();
    port_.moveToThread(worker);
    auto run = std::make_shared<flows::ControlRun>();
    FlowView* view = flowView_.get();
    transport::SerialPort* port = &port_;
    const bool started = worker_->start(
        [request, run, view, port, home] {
            flows::BasicLanLink lan;
            flows::BasicSerialLink serial(*port);
            *run = flows::RunControlFlow(*request, {&lan, &serial}, *view);
            port->moveToThread(home);
        },
        [this, run] {
            values_ = run->values;
            frame_ = run->frame;
            markRowInFlight(-1);
            flowGuard_.reset();
        });
    if (!started) {
        port_.moveToThread(home);
        flowGuard_.reset();
    }
}

}  // namespace dravik::pages
