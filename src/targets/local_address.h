// The computer's own IPv4 address for the pages' IP address boxes. The lookup sits behind an
// interface so that tests never depend on the machine's real address.
#pragma once

#include <QString>
#include <optional>

namespace dravik::targets {

class LocalAddressLookup {
public:
    virtual ~LocalAddressLookup() = default;
    // The first IPv4 address of this computer as dotted text, or nothing if the lookup failed.
    virtual std::optional<QString> firstIPv4() = 0;
};

// Looks at the local network interfaces only: nothing is sent, not even a name query. The
// first IPv4 address of an interface that is up and not loopback wins; a machine with no
// such interface answers "127.0.0.1", as its host name would resolve there.
class SystemAddressLookup final : public LocalAddressLookup {
public:
    std::optional<QString> firstIPv4() override;
};

// Answers a fixed result; for tests and for callers that already know the address.
class FixedAddressLookup final : public LocalAddressLookup {
public:
    explicit FixedAddressLookup(std::optional<QString> address) : address_(std::move(address)) {}
    std::optional<QString> firstIPv4() override { return address_; }

private:
    std::optional<QString> address_;
};

// What the IP address box shows and whether the address is usable. The box starts cleared
// ("0.0.0.0") and keeps that when the lookup fails; the loopback address is shown but not
// usable.
struct LocalAddress {
    QString shown = QStringLiteral("0.0.0.0");
    bool usable = false;
};

LocalAddress LookUpLocalAddress(LocalAddressLookup& lookup);

}  // namespace dravik::targets
