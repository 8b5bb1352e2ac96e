#include "display-sim/frame_reader.h"

#include "protocol/reply.h"

#include <algorithm>

namespace dravik::sim {

using protocol::Byte;
using protocol::Bytes;

void FrameReader::feed(std::span<const Byte> bytes) { buffer_.insert(buffer_.end(), bytes.begin(), bytes.end()); }

// A bad frame swallows the stray bytes after it up to the next header, so that one frame
// with a wrong length byte gives one bad entry, not two.
ReceivedFrame FrameReader::takeBad(std::size_t count, std::string problem) {
    count = std::min(count, buffer_.size());
    const auto nextHeader = std::find(buffer_.begin() + static_cast<std::ptrdiff_t>(count), buffer_.end(),
                                      protocol::kRequestHeader);
    ReceivedFrame f;
    f.bytes.assign(buffer_.begin(), nextHeader);
    f.problem = std::move(problem);
    buffer_.erase(buffer_.begin(), nextHeader);
    return f;
}

std::optional<ReceivedFrame> FrameReader::next() {
    const protocol::Request head(buffer_);
    if (head.empty()) return std::nullopt;
    if (head.header() != protocol::kRequestHeader) return takeBad(1, "no A6 header");
    const auto length = head.length();
    if (!length) return std::nullopt;
    if (*length < 3) return takeBad(6, "length byte below 3");
    const std::size_t total = *head.expectedSize();
    if (head.size() < total) return std::nullopt;
    if (!head.sealedOver(total)) return takeBad(total, "bad checksum");
    ReceivedFrame f;
    f.bytes.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    f.valid = true;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
    return f;
}

std::optional<ReceivedFrame> FrameReader::flushPartial() {
    if (buffer_.empty()) return std::nullopt;
    ReceivedFrame f;
    f.bytes = std::move(buffer_);
    buffer_.clear();
    f.problem = "incomplete frame";
    return f;
}

}  // namespace dravik::sim
