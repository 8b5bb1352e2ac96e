// A page's reply buffer, how a frame is addressed to a row's monitor ID, and the hex texts of
// the TX and receive boxes. Knows no widget.
#pragma once

#include "protocol/frame.h"

#include <QString>

#include <array>
#include <span>

namespace dravik::transport {

// The bytes last received and their count. Room for 128 bytes and a terminating zero.
struct ReplyBuffer {
    static constexpr int kCapacity = 128;

    std::array<protocol::Byte, kCapacity + 1> bytes{};
    int count = 0;

    // Keeps at most kCapacity bytes; everything after them reads as zero, so a decoder that
    // looks past the count never sees an older reply.
    void assign(std::span<const protocol::Byte> data);
    void assign(const char* data, qsizetype size);
    void clear();
    std::span<const protocol::Byte> received() const;
    // Byte i of the reply, 0 outside the buffer.
    protocol::Byte at(int i) const;
};

// Byte 1 = the ID text's decimal value (low 8 bits), checksum recomputed.
void AddressAndSeal(protocol::Frame& frame, const QString& idText);
// The wall page's addressing is protocol::AddressAndSealWall (protocol/wall.h).
// "%02X " per byte / "%02X" per byte.
QString HexSpaced(std::span<const protocol::Byte> bytes);
QString HexPacked(std::span<const protocol::Byte> bytes);

}  // namespace dravik::transport
