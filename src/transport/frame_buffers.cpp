#include "transport/frame_buffers.h"

#include <algorithm>

namespace dravik::transport {

void ReplyBuffer::assign(std::span<const protocol::Byte> data) {
    const auto n = std::min<std::size_t>(data.size(), kCapacity);
    std::copy_n(data.begin(), n, bytes.begin());
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(n), bytes.end(), protocol::Byte{0});
    count = static_cast<int>(n);
}

void ReplyBuffer::assign(const char* data, qsizetype size) {
    if (data == nullptr || size <= 0) {
        clear();
        return;
    }
    assign(std::span<const protocol::Byte>(reinterpret_cast<const protocol::Byte*>(data),
                                           static_cast<std::size_t>(size)));
}

void ReplyBuffer::clear() {
    bytes.fill(0);
    count = 0;
}

std::span<const protocol::Byte> ReplyBuffer::received() const {
    const int n = std::clamp(count, 0, kCapacity);
    return {bytes.data(), static_cast<std::size_t>(n)};
}

protocol::Byte ReplyBuffer::at(int i) const {
    return (i >= 0 && i < kCapacity) ? bytes[static_cast<std::size_t>(i)] : protocol::Byte{0};
}

void AddressAndSeal(protocol::Frame& frame, const QString& idText) {
    protocol::AddressAndSeal(frame, idText.toStdString());
}

QString HexSpaced(std::span<const protocol::Byte> bytes) {
    return QString::fromStdString(protocol::HexSpaced(bytes));
}

QString HexPacked(std::span<const protocol::Byte> bytes) {
    return QString::fromStdString(protocol::HexPacked(bytes));
}

}  // namespace dravik::transport
