// The few ways dravikctl reads numbers and addresses from its arguments and list files, and
// shows an argument back in a message: one of each, for every subcommand.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravik::ctl {

// A decimal number lo..hi, with an optional leading '+', and nothing else.
bool ParseInt(std::string_view text, int lo, int hi, int& out);
// Decimal digits only (no sign, not empty).
bool AllDigits(std::string_view text);
// Four decimal fields 0..255 of one to three digits each.
std::optional<std::array<int, 4>> ParseIPv4(std::string_view text);

// An argument or a list row shown back in a message, in single quotes: control bytes (and
// bytes that are not UTF-8) as '?', so the message stays one printable line; cut at `max`
// characters with "..." (a file name is shown whole: max = npos).
inline constexpr std::size_t kQuoteMax = 60;
std::string Quote(std::string_view text, std::size_t max = kQuoteMax);

}  // namespace dravik::ctl
