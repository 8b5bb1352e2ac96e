// The kernel's neighbour (ARP) table: the address-resolution half of the presence test.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dravik::discovery {

inline constexpr std::string_view kNeighbourTablePath = "/proc/net/arp";

// True when `table` (the text layout of /proc/net/arp: a heading line, then
// "IP  HW-type  Flags  HW-address  Mask  Device" per entry) holds a complete entry
// (flag 0x2) with a non-zero hardware address for `address`.
bool NeighbourResolved(std::string_view table, std::string_view address);

// The table's text, at most `limit` bytes; empty when it cannot be read.
std::string ReadNeighbourTable(const std::string& path, std::size_t limit = 1 << 20);

}  // namespace dravik::discovery
