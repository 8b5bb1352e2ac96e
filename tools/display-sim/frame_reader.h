// Cuts request frames out of a byte stream (a TCP connection or a serial line). Bytes that
// do not make a good frame come out too, marked bad, so that they can be logged.
#pragma once

#include "protocol/frame.h"

#include <optional>
#include <span>
#include <string>

namespace dravik::sim {

struct ReceivedFrame {
    protocol::Bytes bytes;
    bool valid = false;        // header A6, length byte >= 3 and matching, XOR checksum right
    std::string problem;       // empty when valid
};

class FrameReader {
public:
    // Longest frame the length byte can announce: 6 + 255.
    static constexpr std::size_t kMaxFrame = 261;

    void feed(std::span<const protocol::Byte> bytes);
    // The next complete frame (good or bad), or nothing until more bytes come.
    std::optional<ReceivedFrame> next();
    // Bytes of a frame still waiting for the rest of it.
    bool hasPartial() const { return !buffer_.empty(); }
    // Gives up on the waiting bytes (the peer went quiet or closed): one bad frame.
    std::optional<ReceivedFrame> flushPartial();

private:
    ReceivedFrame takeBad(std::size_t count, std::string problem);

    protocol::Bytes buffer_;
};

}  // namespace dravik::sim
