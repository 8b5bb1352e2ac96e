// Datagrams from the raw and the unprivileged ICMP sockets. The first bytes choose the
// address and identifier the scan waits for; the rest is what the socket handed over.
#include "discovery/icmp.h"
#include "fuzz_input.h"

#include <cstring>

using namespace dravik::discovery;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dravik::fuzz::Input in(data, size);
    std::uint32_t target = 0, source = 0;
    std::uint16_t identifier = 0;
    for (int i = 0; i < 4; ++i) target = (target << 8) | in.Byte();
    for (int i = 0; i < 2; ++i) identifier = static_cast<std::uint16_t>((identifier << 8) | in.Byte());
    const bool sameSource = in.Byte() & 1;
    for (int i = 0; i < 4; ++i) source = (source << 8) | in.Byte();
    if (sameSource) source = target;
    const auto datagram = in.Rest();

    const bool raw = IsEchoReplyFromRaw(datagram, target, identifier);
    if (raw) {
        // An accepted datagram holds at least an IPv4 header and an ICMP header, and it came
        // from the target.
        DRAVIK_FUZZ_CHECK(datagram.size() >= 20 + 8);
        std::uint32_t from = 0;
        std::memcpy(&from, datagram.data() + 12, 4);
        DRAVIK_FUZZ_CHECK(from == target);
    }
    const bool ping = IsEchoReplyFromPing(datagram, source, target);
    if (ping) {
        DRAVIK_FUZZ_CHECK(datagram.size() >= 8 && source == target);
        DRAVIK_FUZZ_CHECK(datagram[0] == kIcmpEchoReply);
    }
    // Our own request never passes for a reply.
    const auto request = BuildEchoRequest(identifier, static_cast<std::uint16_t>(size));
    DRAVIK_FUZZ_CHECK(!IsEchoReplyFromPing(request, target, target));
    DRAVIK_FUZZ_CHECK(InternetChecksum(request) == 0);
    (void)InternetChecksum(datagram);
    return 0;
}
