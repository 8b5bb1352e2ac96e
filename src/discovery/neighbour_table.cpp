#include "discovery/neighbour_table.h"

#include "discovery/scan_rules.h"

#include <array>
#include <charconv>
#include <fstream>

namespace dravik::discovery {

namespace {

constexpr unsigned kFlagComplete = 0x2;

// Splits a line into its first `N` blank-separated fields; false when it has fewer.
template <std::size_t N>
bool Fields(std::string_view line, std::array<std::string_view, N>& out) {
    std::size_t pos = 0;
    for (auto& field : out) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
        if (pos == start) return false;
        field = line.substr(start, pos - start);
    }
    return true;
}

bool ParseFlags(std::string_view text, unsigned& flags) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), flags, 16);
    return ec == std::errc() && end == text.data() + text.size();
}

// "aa:bb:cc:dd:ee:ff" with at least one non-zero digit.
bool NonZeroHardwareAddress(std::string_view text) {
    bool nonZero = false;
    bool anyDigit = false;
    for (char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (hex) {
            anyDigit = true;
            nonZero = nonZero || c != '0';
        } else if (c != ':') {
            return false;
        }
    }
    return anyDigit && nonZero;
}

}  // namespace

bool NeighbourResolved(std::string_view table, std::string_view address) {
    const auto wanted = ParseIpv4(address);
    if (!wanted) return false;
    bool heading = true;
    while (!table.empty()) {
        const auto end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
        if (heading) {
            heading = false;
            continue;
        }
        std::array<std::string_view, 4> f;
        if (!Fields(line, f)) continue;
        const auto ip = ParseIpv4(f[0]);
        unsigned flags = 0;
        if (!ip || *ip != *wanted || !ParseFlags(f[2], flags)) continue;
        if ((flags & kFlagComplete) && NonZeroHardwareAddress(f[3])) return true;
    }
    return false;
}

std::string ReadNeighbourTable(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

}  // namespace dravik::discovery
