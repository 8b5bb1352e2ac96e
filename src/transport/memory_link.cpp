#include "transport/memory_link.h"

#include <algorithm>

namespace dravik::transport {

namespace {

bool IsConnectFault(MemoryFault fault) {
    return fault == MemoryFault::ConnectRefused || fault == MemoryFault::ConnectHangs;
}

}  // namespace

MemoryLink::MemoryLink(Style style, VirtualClock* clock) : style_(style), clock_(clock ? clock : &ownClock_) {}

void MemoryLink::setPeer(const std::string& address, Responder respond) { peers_[address].respond = std::move(respond); }
void MemoryLink::setPeer(int monitorId, Responder respond) { setPeer(keyOf(monitorId), std::move(respond)); }

void MemoryLink::queueFaults(const std::string& address, std::vector<MemoryFault> faults) {
    auto& queued = peers_[address].queued;
    queued.insert(queued.end(), faults.begin(), faults.end());
}
void MemoryLink::queueFaults(int monitorId, std::vector<MemoryFault> faults) { queueFaults(keyOf(monitorId), std::move(faults)); }

void MemoryLink::setFault(const std::string& address, MemoryFault fault) { peers_[address].always = fault; }
void MemoryLink::setFault(int monitorId, MemoryFault fault) { setFault(keyOf(monitorId), fault); }

MemoryLink::Peer* MemoryLink::peerFor(std::span<const protocol::Byte> frame) {
    const std::string key = style_ == Style::Lan ? address_ : (frame.size() > 1 ? keyOf(frame[1]) : std::string());
    const auto it = peers_.find(key);
    return it == peers_.end() ? nullptr : &it->second;
}

// An exchange takes the front of the queue whatever it is (a connect fault means nothing to
// it); open() takes it only when it is a connect fault.
MemoryFault MemoryLink::nextFault(Peer& peer) {
    if (!peer.queued.empty()) {
        const MemoryFault fault = peer.queued.front();
        peer.queued.pop_front();
        return fault;
    }
    return peer.always;
}

protocol::Bytes MemoryLink::takePending(int limit) {
    const auto n = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(limit, 0, static_cast<std::ptrdiff_t>(pending_.size())));
    protocol::Bytes out(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
    return out;
}

LinkStatus MemoryLink::open(const std::string& address) {
    ++opens_;
    LinkStatus status;
    if (vanished_) {
        status = {LinkError::PortClosed, "device vanished"};
    } else if (style_ == Style::Serial) {
        open_ = true;
    } else {
        close();
        --closes_;  // the implicit close of a reopen is not the caller's
        address_ = address;
        const auto it = peers_.find(address);
        MemoryFault fault = MemoryFault::None;
        if (it != peers_.end()) {
            Peer& peer = it->second;
            if (!peer.queued.empty() && IsConnectFault(peer.queued.front())) {
                fault = peer.queued.front();
                peer.queued.pop_front();
            } else if (peer.queued.empty() && IsConnectFault(peer.always)) {
                fault = peer.always;
            }
        }
        if (it == peers_.end() || fault == MemoryFault::ConnectRefused) {
            status = {LinkError::ConnectRefused, "Connection refused"};
        } else if (fault == MemoryFault::ConnectHangs) {
            clock_->wait(connectBound_);
            status = {LinkError::ConnectTimedOut, "Socket operation timed out"};
        } else {
            open_ = true;
        }
    }
    if (observer()) observer()->linkOpened(style_ == Style::Lan ? address : std::string("memory line"), status);
    return status;
}

ExchangeResult MemoryLink::exchange(std::span<const protocol::Byte> frame, const ReplyRule& rule) {
    ExchangeResult result;
    if (vanished_) {
        result.status = {LinkError::PortClosed, "device vanished"};
        return result;
    }
    if (!open_) {
        result.status = {LinkError::PortClosed, "not open"};
        return result;
    }
    if (style_ == Style::Lan && peerGone_) {
        result.status = {LinkError::PeerClosed, "Remote host closed the connection"};
        return result;
    }
    const std::string where =
        style_ == Style::Lan ? address_ : (frame.size() > 1 ? keyOf(frame[1]) : std::string("ID ?"));

    if (rule.drainFirst) {
        if (style_ == Style::Serial && pending_.empty()) clock_->wait(rule.drainWait);
        pending_.clear();
    }
    clock_->wait(rule.preWrite);
    if (observer()) observer()->frameSent(where, frame);

    Peer* peer = peerFor(frame);
    MemoryFault fault = peer ? nextFault(*peer) : MemoryFault::None;
    if (IsConnectFault(fault)) fault = MemoryFault::None;
    switch (fault) {
        case MemoryFault::WriteError:
            result.status = {LinkError::WriteFailed, "write failed"};
            return result;
        case MemoryFault::DeviceVanishes:
            vanished_ = true;
            open_ = false;
            pending_.clear();
            result.status = {LinkError::WriteFailed, "device vanished"};
            return result;
        case MemoryFault::WriteShort:
            sent_.push_back({where, protocol::Bytes(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(frame.size() / 2)),
                             clock_->now()});
            result.status = {LinkError::WriteFailed, "short write"};
            return result;
        default: break;
    }
    sent_.push_back({where, protocol::Bytes(frame.begin(), frame.end()), clock_->now()});
    result.written = true;
    protocol::Bytes answer = peer && peer->respond ? peer->respond(frame) : protocol::Bytes{};
    clock_->wait(rule.pause);

    const bool reads = rule.timeout > Millis{0};
    if (fault == MemoryFault::LateReply) {
        // Every look of this exchange finds nothing; the answer lands afterwards.
        if (reads) {
            clock_->wait(rule.timeout);
            if (style_ == Style::Serial && rule.retry > Millis{0}) {
                clock_->wait(rule.retry);
                clock_->wait(rule.timeout);
            }
        }
        pending_.clear();
        pending_.insert(pending_.end(), answer.begin(), answer.end());
        return result;
    }
    if (fault == MemoryFault::PeerClosesMidReply) {
        answer.resize(answer.size() / 2);
        if (style_ == Style::Lan) peerGone_ = true;
    }
    pending_.insert(pending_.end(), answer.begin(), answer.end());
    if (!reads) return result;

    const int limit = fault == MemoryFault::SplitReply ? std::min(1, rule.limit) : rule.limit;
    if (pending_.empty()) {
        clock_->wait(rule.timeout);
        if (style_ == Style::Serial && rule.retry > Millis{0}) {
            clock_->wait(rule.retry);
            clock_->wait(rule.timeout);
        }
        if (peerGone_) result.status = {LinkError::PeerClosed, "Remote host closed the connection"};
        return result;
    }
    result.reply = takePending(limit);
    if (!result.reply.empty() && observer()) observer()->replyReceived(where, result.reply);
    return result;
}

void MemoryLink::close() {
    ++closes_;
    if (style_ == Style::Serial) return;
    open_ = false;
    peerGone_ = false;
    pending_.clear();
}

}  // namespace dravik::transport
