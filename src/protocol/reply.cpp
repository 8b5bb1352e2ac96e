#include "protocol/reply.h"

#include <cstdint>

namespace dravik::protocol {

namespace {

constexpr std::size_t kReplyDataAt = 7;
constexpr std::size_t kRequestDataAt = 8;
// Bytes before and including a reply's length byte; a request has one more.
constexpr std::size_t kReplyFramingBytes = 5;
constexpr std::size_t kRequestFramingBytes = 6;

// Bytes `from` up to, not including, the last one received.
Bytes Between(const Bytes& bytes, std::size_t from) {
    if (bytes.size() <= from + 1) return {};
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end() - 1);
}

}  // namespace

std::optional<Byte> ReceivedBytes::at(std::size_t i) const {
    if (i >= bytes_.size()) return std::nullopt;
    return bytes_[i];
}

std::optional<int> ReceivedBytes::signedAt(std::size_t i) const {
    const auto b = at(i);
    if (!b) return std::nullopt;
    return static_cast<int>(static_cast<std::int8_t>(*b));
}

bool ReceivedBytes::sealedOver(std::size_t n) const {
    if (n == 0 || bytes_.size() < n) return false;
    return Checksum(std::span<const Byte>(bytes_.data(), n - 1)) == bytes_[n - 1];
}

Bytes Reply::data() const { return Between(bytes(), kReplyDataAt); }

std::optional<std::size_t> Reply::expectedSize() const {
    const auto len = length();
    if (!len) return std::nullopt;
    return std::size_t{*len} + kReplyFramingBytes;
}

bool Reply::complete() const {
    const auto total = expectedSize();
    return total && size() >= *total;
}

Reply::Fault Reply::fault() const {
    if (empty()) return Fault::Empty;
    if (!hasReplyHeader()) return Fault::WrongHeader;
    if (length() < Byte{3} || !complete()) return Fault::Short;
    if (!sealedOver(*expectedSize())) return Fault::BadChecksum;
    return Fault::None;
}

Bytes Reply::Build(Byte monitorId, Byte command, std::span<const Byte> data) {
    Bytes r(kReplyDataAt + data.size() + 1, 0x00);
    r[0] = kReplyHeader;
    r[1] = monitorId;
    r[4] = static_cast<Byte>(r.size() - kReplyFramingBytes);
    r[5] = kControl;
    r[6] = command;
    for (std::size_t i = 0; i < data.size(); ++i) r[kReplyDataAt + i] = data[i];
    r.back() = Checksum(std::span<const Byte>(r.data(), r.size() - 1));
    return r;
}

Bytes Reply::BuildAcknowledge(Byte monitorId, Byte command, Byte status) {
    const Byte data[] = {status};
    return Build(monitorId, command, data);
}

Bytes Request::data() const { return Between(bytes(), kRequestDataAt); }

std::optional<std::size_t> Request::expectedSize() const {
    const auto len = length();
    if (!len) return std::nullopt;
    return std::size_t{*len} + kRequestFramingBytes;
}

}  // namespace dravik::protocol
