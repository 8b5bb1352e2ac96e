// The two frames as they come in, read by name instead of by byte offset:
//   reply    21 ID 00 00 LEN 01 CMD STATUS|DATA... XOR   (LEN counts the bytes after itself)
//   request  A6 ID 00 00 00 LEN 01 CMD DATA... XOR       (LEN counts the bytes after itself)
// Both hold the bytes as received, which may be short, long or anything else: every field is
// optional and a field whose bytes did not arrive reads as nullopt, never past the end.
#pragma once

#include "protocol/frame.h"

#include <cstddef>
#include <optional>
#include <span>

namespace dravik::protocol {

// The status byte of an acknowledge.
inline constexpr Byte kStatusExecuted = 0x01;
inline constexpr Byte kStatusNack = 0x03;
inline constexpr Byte kStatusNav = 0x04;

// Bounds-checked bytes: what both frame kinds read through.
class ReceivedBytes {
public:
    ReceivedBytes() = default;
    explicit ReceivedBytes(std::span<const Byte> bytes) : bytes_(bytes.begin(), bytes.end()) {}

    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    const Bytes& bytes() const { return bytes_; }
    // Byte i, or nullopt when it did not arrive.
    std::optional<Byte> at(std::size_t i) const;
    // Byte i read as a signed char, or nullopt.
    std::optional<int> signedAt(std::size_t i) const;
    // XOR of bytes 0 .. n-2 equals byte n-1; false when fewer than n bytes arrived or n is 0.
    bool sealedOver(std::size_t n) const;

    bool operator==(const ReceivedBytes&) const = default;

private:
    Bytes bytes_;
};

class Reply : public ReceivedBytes {
public:
    // What is wrong with the frame, in the order it is checked.
    enum class Fault {
        None,
        Empty,        // nothing arrived
        WrongHeader,  // byte 0 is not 21
        Short,        // the length byte is missing or below 3, or fewer bytes than it announces
        BadChecksum,  // the byte after the announced ones is not the XOR of those before it
    };

    Reply() = default;
    explicit Reply(std::span<const Byte> bytes) : ReceivedBytes(bytes) {}

    std::optional<Byte> header() const { return at(0); }
    bool hasReplyHeader() const { return header() == kReplyHeader; }
    std::optional<Byte> monitorId() const { return at(1); }
    // Byte 4 as sent (0..255) and as the status decoders read it (signed).
    std::optional<Byte> length() const { return at(4); }
    std::optional<int> signedLength() const { return signedAt(4); }
    std::optional<Byte> command() const { return at(6); }
    // Byte 7: an acknowledge's status, the first data byte of a data reply.
    std::optional<Byte> status() const { return at(7); }
    // Bytes 7 up to, not including, the last byte received (the checksum of a whole frame).
    // A copy, so that it outlives a temporary Reply.
    Bytes data() const;

    // LEN + 5: the size of the whole frame the length byte announces.
    std::optional<std::size_t> expectedSize() const;
    // At least the announced bytes arrived (more may have: they are not part of the frame).
    bool complete() const;

    Fault fault() const;
    bool valid() const { return fault() == Fault::None; }
    // A valid frame in the acknowledge layout (LEN 4): taken, refused (NACK) or not
    // available (NAV). isAck is every acknowledge status but those two.
    bool isAck() const { return isAcknowledge() && !isNack() && !isNav(); }
    bool isNack() const { return isAcknowledge() && status() == kStatusNack; }
    bool isNav() const { return isAcknowledge() && status() == kStatusNav; }
    // A valid frame that carries values (LEN above 4).
    bool isData() const { return valid() && length() > Byte{4}; }

    // 21 ID 00 00 LEN 01 CMD DATA... XOR with LEN and the checksum filled in.
    static Bytes Build(Byte monitorId, Byte command, std::span<const Byte> data);
    // 21 ID 00 00 04 01 CMD STATUS XOR: the acknowledge layout.
    static Bytes BuildAcknowledge(Byte monitorId, Byte command, Byte status);

private:
    bool isAcknowledge() const { return valid() && length() == Byte{4}; }
};

class Request : public ReceivedBytes {
public:
    Request() = default;
    explicit Request(std::span<const Byte> bytes) : ReceivedBytes(bytes) {}

    std::optional<Byte> header() const { return at(0); }
    std::optional<Byte> monitorId() const { return at(1); }
    std::optional<Byte> length() const { return at(5); }
    std::optional<Byte> command() const { return at(7); }
    // Bytes 8 up to, not including, the last byte received.
    Bytes data() const;
    // LEN + 6: the size of the whole frame the length byte announces.
    std::optional<std::size_t> expectedSize() const;
};

}  // namespace dravik::protocol
