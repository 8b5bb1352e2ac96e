#include "app/limited_scan.h"

namespace dravik::app {

namespace {

bool Allowed(const std::optional<ScanRange>& range, const std::string& address) {
    return range && range->Contains(QString::fromStdString(address));
}

class LimitedPresence final : public discovery::PresenceProbe {
public:
    LimitedPresence(std::shared_ptr<discovery::PresenceProbe> inner, std::optional<ScanRange> range)
        : inner_(std::move(inner)), range_(range) {}
    discovery::Presence Test(const std::string& address, std::chrono::milliseconds echoTimeout,
                             const discovery::StopSignal& stop) override {
        if (!inner_ || !Allowed(range_, address)) return discovery::Presence::Absent;
        return inner_->Test(address, echoTimeout, stop);
    }

private:
    std::shared_ptr<discovery::PresenceProbe> inner_;
    std::optional<ScanRange> range_;
};

class LimitedIdentity final : public discovery::IdentityClient {
public:
    LimitedIdentity(std::shared_ptr<discovery::IdentityClient> inner, std::optional<ScanRange> range)
        : inner_(std::move(inner)), range_(range) {}
    std::unique_ptr<discovery::IdentitySession> Connect(const std::string& address, std::uint16_t port,
                                                        std::chrono::milliseconds timeout,
                                                        const discovery::StopSignal& stop) override {
        if (!inner_ || !Allowed(range_, address)) return nullptr;
        return inner_->Connect(address, port, timeout, stop);
    }

private:
    std::shared_ptr<discovery::IdentityClient> inner_;
    std::optional<ScanRange> range_;
};

}  // namespace

discovery::ScanBackends LimitScan(discovery::ScanBackends inner, std::optional<ScanRange> range) {
    return {std::make_shared<LimitedPresence>(std::move(inner.presence), range),
            std::make_shared<LimitedIdentity>(std::move(inner.identity), range)};
}

}  // namespace dravik::app
