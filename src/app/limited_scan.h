// "IP Scan" held to a range of addresses: the scan still walks hosts 1..254 of the page's
// subnet, but no probe leaves for an address outside the range. With no range at all
// nothing is probed.
#pragma once

#include "app/command_line.h"
#include "discovery/backends.h"
#include "targets/local_address.h"

#include <optional>

namespace dravik::app {

discovery::ScanBackends LimitScan(discovery::ScanBackends inner, std::optional<ScanRange> range);

// The address the pages show and scan from: the first address of the range.
class FixedAddressLookup final : public targets::LocalAddressLookup {
public:
    explicit FixedAddressLookup(QString address) : address_(std::move(address)) {}
    std::optional<QString> firstIPv4() override { return address_; }

private:
    QString address_;
};

}  // namespace dravik::app
