#include "discovery/icmp.h"

#include <cstring>

namespace dravik::discovery {

namespace {

constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::uint8_t kProtocolIcmp = 1;

std::uint16_t LoadHost16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint32_t LoadHost32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    // Sum the words as they lie in memory: the result then needs no byte swap to be stored.
    for (; i + 1 < bytes.size(); i += 2) sum += LoadHost16(bytes.data() + i);
    if (i < bytes.size()) {
        const std::uint8_t last[2] = {bytes[i], 0};
        sum += LoadHost16(last);
    }
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::array<std::uint8_t, kEchoRequestSize> BuildEchoRequest(std::uint16_t identifier, std::uint16_t sequence) {
    std::array<std::uint8_t, kEchoRequestSize> packet{};
    packet[0] = kIcmpEchoRequest;
    packet[1] = 0;
    std::memcpy(&packet[4], &identifier, sizeof identifier);
    packet[6] = static_cast<std::uint8_t>(sequence >> 8);
    packet[7] = static_cast<std::uint8_t>(sequence & 0xFF);
    const std::uint16_t sum = InternetChecksum(packet);
    std::memcpy(&packet[2], &sum, sizeof sum);
    return packet;
}

bool IsEchoReplyFromRaw(std::span<const std::uint8_t> datagram, std::uint32_t target, std::uint16_t identifier) {
    if (datagram.size() < 20) return false;
    const std::uint8_t versionAndLength = datagram[0];
    const std::size_t headerSize = static_cast<std::size_t>(versionAndLength & 0x0F) * 4;
    if ((versionAndLength >> 4) != 4 || headerSize < 20) return false;
    if (datagram.size() < headerSize + kIcmpHeaderSize) return false;
    if (datagram[9] != kProtocolIcmp) return false;
    if (LoadHost32(datagram.data() + 12) != target) return false;
    const std::uint8_t* icmp = datagram.data() + headerSize;
    return icmp[0] == kIcmpEchoReply && LoadHost16(icmp + 4) == identifier;
}

bool IsEchoReplyFromPing(std::span<const std::uint8_t> message, std::uint32_t source, std::uint32_t target) {
    return message.size() >= kIcmpHeaderSize && source == target && message[0] == kIcmpEchoReply;
}

}  // namespace dravik::discovery
