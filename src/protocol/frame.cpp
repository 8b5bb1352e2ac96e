#include "protocol/frame.h"

#include <cctype>
#include <climits>

namespace dravik::protocol {

Frame Frame::Build(Byte command, std::initializer_list<Byte> data) {
    return Build(command, std::span<const Byte>(data.begin(), data.size()));
}

Frame Frame::Build(Byte command, std::span<const Byte> data) {
    Bytes b;
    b.reserve(9 + data.size());
    // Length counts control, command, data and checksum.
    const auto length = static_cast<Byte>(3 + data.size());
    b.insert(b.end(), {kRequestHeader, 0x01, 0x00, 0x00, 0x00, length, kControl, command});
    b.insert(b.end(), data.begin(), data.end());
    b.push_back(0x00);
    Frame f(std::move(b));
    f.Seal();
    return f;
}

void Frame::Seal() {
    if (bytes_.empty()) return;
    bytes_.back() = Checksum(std::span<const Byte>(bytes_.data(), bytes_.size() - 1));
}

void Frame::SetMonitorId(Byte id) {
    if (bytes_.size() < 2) return;
    bytes_[1] = id;
    Seal();
}

std::string Frame::TxText() const { return HexSpaced(bytes_); }

Byte Checksum(std::span<const Byte> bytes) {
    Byte cs = 0;
    for (Byte b : bytes) cs ^= b;
    return cs;
}

long long DecimalValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) value = static_cast<long long>(INT_MAX) + 1;  // saturate, no overflow
    }
    value = negative ? -value : value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return value;
}

Byte IdByteFromText(std::string_view text) {
    return static_cast<Byte>(static_cast<unsigned long long>(DecimalValue(text)) & 0xFF);
}

void AddressAndSeal(Frame& frame, std::string_view idText) {
    frame.SetMonitorId(IdByteFromText(idText));
}

static std::string Hex(std::span<const Byte> bytes, bool spaced) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    s.reserve(bytes.size() * 3);
    for (Byte b : bytes) {
        s.push_back(digits[b >> 4]);
        s.push_back(digits[b & 0x0F]);
        if (spaced) s.push_back(' ');
    }
    return s;
}

std::string HexSpaced(std::span<const Byte> bytes) { return Hex(bytes, true); }
std::string HexPacked(std::span<const Byte> bytes) { return Hex(bytes, false); }

bool ParseHex(std::string_view text, Bytes& out) {
    out.clear();
    std::size_t i = 0;
    auto isSep = [](char c) { return c == ' ' || c == ',' || c == '\t' || c == ':' || c == '\n' || c == '\r'; };
    while (i < text.size()) {
        while (i < text.size() && isSep(text[i])) ++i;
        if (i >= text.size()) break;
        std::size_t j = i;
        while (j < text.size() && !isSep(text[j])) ++j;
        std::string_view tok = text.substr(i, j - i);
        if (tok.size() > 2 && tok[0] == '0' && (tok[1] == 'x' || tok[1] == 'X')) tok.remove_prefix(2);
        if (tok.empty() || tok.size() > 2) return false;
        unsigned v = 0;
        for (char c : tok) {
            if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
            v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(static_cast<unsigned char>(c)) - 'A' + 10));
        }
        out.push_back(static_cast<Byte>(v));
        i = j;
    }
    return !out.empty();
}

}  // namespace dravik::protocol
