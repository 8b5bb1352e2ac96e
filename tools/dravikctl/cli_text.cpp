#include "dravikctl/cli_text.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>

namespace dravik::ctl {

bool ParseInt(std::string_view text, int lo, int hi, int& out) {
    int v = 0;
    const char* end = text.data() + text.size();
    const char* begin = text.data();
    if (!text.empty() && text.front() == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, v);
    if (text.empty() || ec != std::errc() || ptr != end || v < lo || v > hi) return false;
    out = v;
    return true;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::array<int, 4>> ParseIPv4(std::string_view text) {
    std::array<int, 4> f{};
    for (std::size_t i = 0; i < f.size(); ++i) {
        const auto dot = text.find('.');
        const bool last = i + 1 == f.size();
        if (last != (dot == std::string_view::npos)) return std::nullopt;
        const std::string_view part = text.substr(0, dot);
        if (part.size() > 3 || !AllDigits(part) || !ParseInt(part, 0, 255, f[i])) return std::nullopt;
        if (!last) text.remove_prefix(dot + 1);
    }
    return f;
}

std::string Quote(std::string_view text, std::size_t max) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    (void)utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    const bool keepHigh = !utf8.hasError();
    // The cut falls between characters, not inside one.
    std::size_t n = std::min(max, text.size());
    while (keepHigh && n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::string s = "'";
    for (char c : text.substr(0, n)) {
        const auto u = static_cast<unsigned char>(c);
        s += (u < 0x20 || u == 0x7F || (u >= 0x80 && !keepHigh)) ? '?' : c;
    }
    if (n < text.size()) s += "...";
    return s + "'";
}

}  // namespace dravik::ctl
