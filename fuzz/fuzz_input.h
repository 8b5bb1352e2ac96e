// Small helpers shared by the fuzz targets: take leading selector bytes off the input and
// stop the run loudly when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : rest_(data, size) {}

    // The next byte, 0 once the input is used up.
    std::uint8_t Byte() {
        if (rest_.empty()) return 0;
        const std::uint8_t b = rest_[0];
        rest_ = rest_.subspan(1);
        return b;
    }
    // At most `n` bytes, as a view into the original buffer (so ASan sees its real end).
    std::span<const std::uint8_t> Take(std::size_t n) {
        n = n < rest_.size() ? n : rest_.size();
        auto head = rest_.first(n);
        rest_ = rest_.subspan(n);
        return head;
    }
    std::span<const std::uint8_t> Rest() {
        auto all = rest_;
        rest_ = {};
        return all;
    }
    std::size_t size() const { return rest_.size(); }

private:
    std::span<const std::uint8_t> rest_;
};

inline std::string_view AsText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Cuts the input at `sep` bytes into owned strings (argument vectors and the like).
inline std::vector<std::string> SplitAt(std::span<const std::uint8_t> bytes, char sep, std::size_t maxParts = 64) {
    std::vector<std::string> parts(1);
    for (std::uint8_t b : bytes) {
        if (static_cast<char>(b) == sep) {
            if (parts.size() >= maxParts) break;
            parts.emplace_back();
        } else {
            parts.back().push_back(static_cast<char>(b));
        }
    }
    return parts;
}

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "property failed: %s\n", what);
    std::abort();
}

#define DRAVIK_FUZZ_CHECK(cond) \
    do {                        \
        if (!(cond)) ::dravik::fuzz::Fail(#cond); \
    } while (0)

}  // namespace dravik::fuzz
