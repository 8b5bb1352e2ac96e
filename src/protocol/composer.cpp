#include "protocol/composer.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace dravik::protocol {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::int32_t HexTextValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // "0x" counts as a prefix only when a hex digit follows; otherwise the 0 is the number.
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexDigit(text[i + 2]) >= 0)
        i += 2;
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 31;  // magnitude of INT32_MIN
    std::uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
        if (!overflow) {
            magnitude = magnitude * 16 + static_cast<std::uint64_t>(HexDigit(text[i]));
            if (magnitude > kLimit) overflow = true;
        }
    }
    if (negative) {
        if (overflow) return std::numeric_limits<std::int32_t>::min();
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
    }
    if (overflow || magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(magnitude);
}

ComposerResult ComposeChecksum(const std::array<std::string, kComposerBytes>& texts) {
    std::array<Byte, kComposerBytes> bytes{};
    for (std::size_t i = 0; i < kComposerBytes; ++i)
        bytes[i] = static_cast<Byte>(static_cast<std::uint32_t>(HexTextValue(texts[i])) & 0xFFu);

    ComposerResult result;
    if (bytes[5] > 0x0A) {
        result.message = std::string(kComposerLengthMessage);
        return result;
    }
    const std::size_t n = bytes[5] + 5u;  // at most 15
    result.ok = true;
    result.frame.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    result.checksum = Checksum(result.frame);
    result.txText = HexSpaced(result.frame);
    const Byte cs[] = {result.checksum};
    result.txText += HexSpaced(cs);
    result.checksumText = HexPacked(cs);
    return result;
}

}  // namespace dravik::protocol
