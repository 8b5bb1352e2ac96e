// Decoding of the displays' replies to the status and video-parameter queries.
#pragma once

#include "protocol/frame.h"
#include "protocol/values.h"

#include <span>
#include <string>
#include <string_view>

namespace dravik::protocol {

struct DecodeResult {
    bool result = false;
    bool refresh = false;     // the values changed: whoever shows them shows them anew
    std::string messageLine;  // "executed", "NACK", "NAV" or empty = unchanged
};

// Reads a reply (reply.size() is the received count) into the display values. A field is
// stored only when all of its bytes arrived; the others keep their values. The model
// selects the layout of a video-parameters reply.
DecodeResult DecodeReply(std::span<const Byte> reply, std::string_view model, DisplayValues& values);

}  // namespace dravik::protocol
