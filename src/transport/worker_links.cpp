#include "transport/worker_links.h"

namespace dravik::transport {

LanWorkerLink::LanWorkerLink(LanLinkOptions options, bool traced) : lan_(std::move(options)) {
    if (traced) lan_.setObserver(&trace_);
}

OpenedLine::OpenedLine(const QString& device, bool traced) : device_(device), opened_(port_.open(device)) {
    if (opened_ != OpenResult::Opened) return;
    link_ = std::make_unique<SerialLink>(port_);
    if (traced) link_->setObserver(&trace_);
}

}  // namespace dravik::transport
