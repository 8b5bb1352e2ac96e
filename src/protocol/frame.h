// Request frames as the displays take them: A6 ID 00 00 00 LEN 01 CMD DATA... XOR.
// Pure value code: no Qt, no I/O.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::protocol {

using Byte = std::uint8_t;
using Bytes = std::vector<Byte>;

inline constexpr Byte kRequestHeader = 0xA6;
inline constexpr Byte kReplyHeader = 0x21;
inline constexpr Byte kControl = 0x01;

// One frame: its bytes, checksum included. size() is the total frame length.
class Frame {
public:
    Frame() = default;
    explicit Frame(Bytes bytes) : bytes_(std::move(bytes)) {}

    // A6 01 00 00 00 LEN 01 command data... checksum, built for monitor ID 1.
    static Frame Build(Byte command, std::initializer_list<Byte> data);
    static Frame Build(Byte command, std::span<const Byte> data);

    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const Bytes& bytes() const { return bytes_; }
    const Byte* data() const { return bytes_.data(); }
    Byte operator[](std::size_t i) const { return bytes_.at(i); }
    Byte& operator[](std::size_t i) { return bytes_.at(i); }

    // Recomputes the last byte as the XOR of all bytes before it.
    void Seal();
    // Writes the monitor ID into byte 1 and reseals.
    void SetMonitorId(Byte id);

    // "A6 01 ... B8 " (two upper-case digits and one blank per byte).
    std::string TxText() const;

    bool operator==(const Frame&) const = default;

private:
    Bytes bytes_;
};

// XOR of the given bytes.
Byte Checksum(std::span<const Byte> bytes);

// Decimal value of an ID text the way the tool has always read it: optional leading
// white space and sign, then digits up to the first other character; low 8 bits kept.
// "", "abc" and "0" give 0; "300" gives 0x2C; "12abc" gives 12.
Byte IdByteFromText(std::string_view text);

// Like IdByteFromText but the full integer (clamped to int range); used where a range
// check follows (a video wall: IDs outside 1..25 become 1).
long long DecimalValue(std::string_view text);

// Address and seal: byte 1 = the ID text's value, checksum recomputed.
void AddressAndSeal(Frame& frame, std::string_view idText);

// Hex renderings used by the TX and receive boxes.
std::string HexSpaced(std::span<const Byte> bytes);   // "%02X " per byte
std::string HexPacked(std::span<const Byte> bytes);   // "%02X" per byte, no separator

// Parses "A6 01 00" / "a6,01" style text into bytes; false on any malformed token.
bool ParseHex(std::string_view text, Bytes& out);

}  // namespace dravik::protocol
