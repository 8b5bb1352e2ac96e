// The frame trace as an observer of a Link: one line for every frame out and every reply in,
// in the link's channel ("dravik.lan" or "dravik.serial"), and a line for a failed open.
#pragma once

#include "transport/link.h"
#include "transport/trace.h"

namespace dravik::transport {

class TraceLinkObserver final : public LinkObserver {
public:
    explicit TraceLinkObserver(TraceChannel channel) : channel_(channel) {}

    void linkOpened(const std::string& where, const LinkStatus& status) override;
    void frameSent(const std::string& where, std::span<const protocol::Byte> frame) override;
    void replyReceived(const std::string& where, std::span<const protocol::Byte> reply) override;
    void replyDiscarded(const std::string& where, std::span<const protocol::Byte> bytes) override;

private:
    TraceChannel channel_;
};

// Why a link failed, as the trace names it ("connect-refused: Connection refused").
QString LinkErrorText(const LinkStatus& status);

}  // namespace dravik::transport
