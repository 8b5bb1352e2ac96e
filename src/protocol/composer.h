// The "Checksum" composer: fifteen hex texts in, the frame, its checksum and its TX text out.
#pragma once

#include "protocol/frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dravik::protocol {

inline constexpr std::size_t kComposerBytes = 15;
inline constexpr std::string_view kComposerLengthMessage = " Command Lenght over 10 char";

struct ComposerResult {
    bool ok = false;            // false: length byte above 0x0A, `message` says so
    std::string message;
    Bytes frame;                // bytes 0 .. n-1 with n = length byte + 5
    Byte checksum = 0;          // XOR of `frame`
    std::string txText;         // "%02X " per byte of `frame`, then the checksum the same way
    std::string checksumText;   // the checksum's two digits
};

// Base-16 conversion as the C library's strtol does it: leading white space, a sign, an
// optional 0x, digits up to the first non-hex character; no digits gives 0; the result is
// clamped to the signed 32-bit range.
std::int32_t HexTextValue(std::string_view text);

ComposerResult ComposeChecksum(const std::array<std::string, kComposerBytes>& texts);

}  // namespace dravik::protocol
