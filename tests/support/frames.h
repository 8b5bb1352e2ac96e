// Frame helpers for tests: a frame with its checksum filled in, and the frames a simulated
// display logged as the hex text the tool shows.
#pragma once

#include "protocol/frame.h"

#include <string>
#include <vector>

namespace dravik::testing {

// The bytes with the last one replaced by the XOR of all before it. Empty stays empty.
inline protocol::Bytes Sealed(protocol::Bytes b) {
    if (b.empty()) return b;
    b.back() = protocol::Checksum(std::span<const protocol::Byte>(b.data(), b.size() - 1));
    return b;
}

// Log entries (anything with a `hex` text, "%02X " per byte) as hex without the trailing blank.
template <typename Log>
std::vector<std::string> Frames(const Log& log) {
    std::vector<std::string> out;
    for (const auto& e : log) {
        std::string hex = e.hex;
        while (!hex.empty() && hex.back() == ' ') hex.pop_back();
        out.push_back(hex);
    }
    return out;
}

}  // namespace dravik::testing
