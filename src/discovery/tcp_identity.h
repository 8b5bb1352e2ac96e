// Identity queries over TCP port 5000 (POSIX sockets, so probe threads need no event loop).
#pragma once

#include "discovery/backends.h"

#include <span>

namespace dravik::discovery {

class TcpIdentityClient final : public IdentityClient {
public:
    std::unique_ptr<IdentitySession> Connect(const std::string& address, std::uint16_t port,
                                             std::chrono::milliseconds timeout, const StopSignal& stop) override;
};

// Whether `reply` holds a whole reply: kIdentityReplyLimit bytes, a first byte other than
// 0x21 (not a reply frame: taken as it is), or a 0x21 frame with all the bytes its length
// byte (byte 4: the count after it) announces.
bool ReplyComplete(std::span<const protocol::Byte> reply);

}  // namespace dravik::discovery
