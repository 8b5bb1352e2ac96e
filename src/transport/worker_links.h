// The links a front end's worker opens for its displays, the one way every front end opens
// them: a LAN link (connected per exchange), or one RS-232 line opened for the whole walk.
// Each may carry the frame trace.
#pragma once

#include "transport/lan_link.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"
#include "transport/trace_link.h"

#include <QString>

#include <memory>

namespace dravik::transport {

class LanWorkerLink {
public:
    LanWorkerLink(LanLinkOptions options, bool traced);
    LanWorkerLink(const LanWorkerLink&) = delete;
    LanWorkerLink& operator=(const LanWorkerLink&) = delete;

    Link& link() { return lan_; }

private:
    TraceLinkObserver trace_{TraceChannel::Lan};
    LanLink lan_;
};

// The line is opened on construction and closed when this goes away.
class OpenedLine {
public:
    OpenedLine(const QString& device, bool traced);
    OpenedLine(const OpenedLine&) = delete;
    OpenedLine& operator=(const OpenedLine&) = delete;

    bool isOpen() const { return link_ != nullptr; }
    OpenResult openResult() const { return opened_; }
    OpenReason reason() const { return port_.lastReason(); }
    QString reasonText() const { return port_.lastReasonText(); }
    // The open failed because another program holds the line.
    bool heldElsewhere() const { return !isOpen() && SerialPort::HeldElsewhere(device_, reason()); }
    // Null when the line did not open.
    Link* link() { return link_.get(); }

private:
    QString device_;
    SerialPort port_;
    OpenResult opened_;
    TraceLinkObserver trace_{TraceChannel::Serial};
    std::unique_ptr<SerialLink> link_;
};

}  // namespace dravik::transport
