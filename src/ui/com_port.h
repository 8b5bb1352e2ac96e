// The "COM Port Settings" box that both pages have: "Search", "Open", "Close".
#pragma once

#include "ui/feedback.h"
#include "transport/serial_port.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace dravik::ui {

using transport::SerialPort;

// The controls of the box as the controller sees them; each page implements it.
class ComPortView {
public:
    virtual ~ComPortView() = default;
    // Replaces the port combo's entries and selects the first.
    virtual void setPortEntries(const QStringList& entries) = 0;
    // The port combo's field text (an entry or what the operator typed).
    virtual QString portText() const = 0;
    // The page member bound to the port-number field.
    virtual void setPortNumber(int number) = 0;
    virtual void setOpenEnabled(bool enabled) = 0;
    virtual void setCloseEnabled(bool enabled) = 0;
    virtual void setSearchEnabled(bool enabled) = 0;        // the port "Search"
    virtual void setCheckMonitorEnabled(bool enabled) = 0;  // "Check Monitor"
    virtual void setIdSearchEnabled(bool enabled) = 0;      // the monitor ID "Search"
    virtual void readControls() = 0;
    virtual void writeControls() = 0;
};

class ComPortController {
public:
    // Lists the candidates that SearchPorts tries; by default the system's serial devices.
    using PortLister = std::function<QStringList()>;

    ComPortController(SerialPort& port, ComPortView& view, Feedback& feedback,
                      PortLister lister = &SerialPort::SystemPortNames);

    // Fills the combo with the candidates that open, sorted as text; "0" when none does.
    void SearchPorts();
    // Shows ports found elsewhere (the one search at start-up that both pages share).
    void ShowPorts(QStringList found);
    // The candidates of the lister that open, each once.
    static QStringList FindPorts(const PortLister& lister);
    // Opens the port named by the combo's text; the messages of a failed open; true if open.
    bool OpenPort();
    // Closes an open port; does nothing otherwise.
    void ClosePort();

    // The enabled states for a port that is open or closed (the interface switch uses it).
    void ApplyPortState();

private:
    SerialPort& port_;
    ComPortView& view_;
    Feedback& feedback_;
    PortLister lister_;
};

}  // namespace dravik::ui
