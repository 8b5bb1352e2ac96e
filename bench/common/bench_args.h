// A benchmark's numeric command-line argument: argv[index] within lo..hi, the fallback when it
// is not given; anything else ends the run with exit status 2.
#pragma once

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace dravik::bench {

inline int Arg(int argc, char** argv, int index, int fallback, int lo, int hi) {
    if (argc <= index) return fallback;
    int v = 0;
    const std::string_view s = argv[index];
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi) {
        std::fprintf(stderr, "bench: argument %d must be %d..%d\n", index, lo, hi);
        std::exit(2);
    }
    return v;
}

}  // namespace dravik::bench
