#include "ui/com_port.h"
#include "ui/texts.h"

#include <algorithm>

namespace dravik::ui {

using transport::OpenResult;

ComPortController::ComPortController(SerialPort& port, ComPortView& view, Feedback& feedback,
                                     PortLister lister)
    : port_(port), view_(view), feedback_(feedback), lister_(std::move(lister)) {}

QStringList ComPortController::FindPorts(const PortLister& lister) {
    QStringList found;
    const QStringList candidates = lister ? lister() : QStringList();
    for (const QString& candidate : candidates) {
        if (!found.contains(candidate) && SerialPort::Probe(candidate)) found << candidate;
    }
    return found;
}

void ComPortController::SearchPorts() { ShowPorts(FindPorts(lister_)); }

void ComPortController::ShowPorts(QStringList found) {
    // The combo keeps its entries sorted as text ("10" before "3").
    std::sort(found.begin(), found.end());
    if (found.isEmpty()) found << QStringLiteral("0");
    view_.setPortEntries(found);
    view_.writeControls();
}

bool ComPortController::OpenPort() {
    view_.setCheckMonitorEnabled(false);
    view_.readControls();
    const OpenResult result = port_.open(view_.portText());
    switch (result) {
        case OpenResult::Opened:
            view_.setOpenEnabled(false);
            view_.setCloseEnabled(true);
            view_.setPortNumber(port_.portNumber());
            view_.setCheckMonitorEnabled(true);
            view_.setSearchEnabled(false);
            view_.setIdSearchEnabled(true);
            view_.writeControls();
            return true;
        case OpenResult::NoSuchPort:
            feedback_.message(OpenResultText(result));
            return false;
        case OpenResult::OpeningError:
            feedback_.message(OpenResultText(result));
            view_.setOpenEnabled(true);
            view_.setCloseEnabled(false);
            view_.setPortNumber(0);
            view_.writeControls();
            return false;
        case OpenResult::TimeoutsError:
        case OpenResult::GetStateError:
        case OpenResult::SetStateError:
            feedback_.message(OpenResultText(result));
            view_.setOpenEnabled(true);
            view_.setCloseEnabled(false);
            return false;
    }
    return false;
}

void ComPortController::ClosePort() {
    if (!port_.isOpen()) return;
    port_.close();
    view_.setOpenEnabled(true);
    view_.setSearchEnabled(true);
    view_.setCloseEnabled(false);
    view_.setCheckMonitorEnabled(false);
    view_.setIdSearchEnabled(false);
    view_.readControls();
}

void ComPortController::ApplyPortState() {
    const bool open = port_.isOpen();
    view_.setOpenEnabled(!open);
    view_.setCloseEnabled(open);
    view_.setCheckMonitorEnabled(open);
    view_.setIdSearchEnabled(open);
    view_.setSearchEnabled(!open);
}

}  // namespace dravik::ui
