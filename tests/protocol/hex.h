// Test helpers: frames and replies as the hex strings the worked examples use.
#pragma once

#include "protocol/frame.h"

#include <string>
#include <string_view>

namespace dravik::protocol::test {

// "A6 01 00 ..." without the trailing blank.
inline std::string Hex(const Frame& f) {
    std::string s = HexSpaced(f.bytes());
    if (!s.empty()) s.pop_back();
    return s;
}

inline Bytes Parse(std::string_view text) {
    Bytes b;
    if (!text.empty()) ParseHex(text, b);
    return b;
}

}  // namespace dravik::protocol::test
