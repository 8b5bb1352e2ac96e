// ICMP echo request and the test of a received datagram against it. Pure byte code.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace dravik::discovery {

inline constexpr std::size_t kEchoRequestSize = 32;
inline constexpr std::uint8_t kIcmpEchoRequest = 8;
inline constexpr std::uint8_t kIcmpEchoReply = 0;

// Internet checksum (ones' complement of the ones' complement sum of 16-bit words),
// in the byte order it is stored in the packet.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

// Type 8, code 0, checksum, identifier (stored as the host keeps it), sequence (network
// order), 24 zero bytes.
std::array<std::uint8_t, kEchoRequestSize> BuildEchoRequest(std::uint16_t identifier, std::uint16_t sequence = 1);

// A datagram from a raw ICMP socket (IPv4 header, then ICMP): true only for an echo reply
// from `target` (network byte order, as in the header) that carries `identifier`.
// Anything else (other sources, other identifiers, other types, short or damaged
// datagrams) is passed over.
bool IsEchoReplyFromRaw(std::span<const std::uint8_t> datagram, std::uint32_t target, std::uint16_t identifier);

// A message from an unprivileged ping socket (ICMP only: the kernel strips the IP header
// and has matched the identifier it chose itself); `source` as recvfrom() gave it.
bool IsEchoReplyFromPing(std::span<const std::uint8_t> message, std::uint32_t source, std::uint32_t target);

}  // namespace dravik::discovery
