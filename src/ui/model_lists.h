// What the pages' "Model" combo boxes offer, in the order they list it: the Control page's
// three lists (at start-up, after switching to LAN, after switching to RS-232) and the wall
// page's. Which frames a model gets is the command tables' business, not these lists'.
#pragma once

#include <array>
#include <cstddef>
#include <iterator>
#include <string_view>

namespace dravik::ui::model_combos {

// The Control page at start-up (LAN).
inline constexpr std::string_view kControlStart[] = {
    "KA-42", "KA-49", "KA-55", "KB-32", "KB-43", "KB-55", "KB-65", "KB-65P", "KC-55D", "KC-55H",
    "KC-46D", "KW-55D", "KW-55H", "KC-55D2", "KC-55H2", "KCV-5501D", "KCV-5501H", "KC-55D3", "KC-55H3",
    "MR-32E", "MR-42E", "MR-55E", "LM-43", "LM-50", "LM-55", "LM-65", "LM-75", "LM-86",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55", "SVL-4301", "SVL-5501", "SVL-6501",
    "HVL-4301", "HVL-5501", "HVL-6501", "LD-75", "LD-84", "LD-98",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "NFB-6502", "NFB-7502", "NFB-8602", "NFB-6503", "NFB-7503", "NFB-8603",
    "KA-43Q", "KA-55Q", "KA-65Q", "LM-4302", "LM-5502", "LM-6502", "KB-3202"};
static_assert(std::size(kControlStart) == 61);

// The Control page after switching to LAN: the start list without KC-55D3, KC-55H3, SVL-4301,
// SVL-5501, SVL-6501, HVL-4301, HVL-5501, HVL-6501, LM-4302, LM-5502, LM-6502 and KB-3202.
inline constexpr std::string_view kControlLan[] = {
    "KA-42", "KA-49", "KA-55", "KB-32", "KB-43", "KB-55", "KB-65", "KB-65P", "KC-55D", "KC-55H",
    "KC-46D", "KW-55D", "KW-55H", "KC-55D2", "KC-55H2", "KCV-5501D", "KCV-5501H",
    "MR-32E", "MR-42E", "MR-55E", "LM-43", "LM-50", "LM-55", "LM-65", "LM-75", "LM-86",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55",
    "LD-75", "LD-84", "LD-98",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "NFB-6502", "NFB-7502", "NFB-8602", "NFB-6503", "NFB-7503", "NFB-8603",
    "KA-43Q", "KA-55Q", "KA-65Q"};
static_assert(std::size(kControlLan) == 49);

namespace detail {

template <std::size_t A, std::size_t B>
constexpr std::array<std::string_view, A + B> Join(const std::string_view (&head)[A],
                                                   const std::array<std::string_view, B>& tail) {
    std::array<std::string_view, A + B> out{};
    for (std::size_t i = 0; i < A; ++i) out[i] = head[i];
    for (std::size_t i = 0; i < B; ++i) out[A + i] = tail[i];
    return out;
}

}  // namespace detail

// The Control page after switching to RS-232: the LAN list followed by eleven more.
inline constexpr auto kControlSerial = detail::Join(
    kControlLan, std::to_array<std::string_view>({"MS-15G", "MS-17G", "MS-19G", "MR-22G", "MR-24G", "MH-24G",
                                                  "MD-17G", "MD-22G", "YT700WKB", "ZRQ-5501", "ZRF-3201"}));
static_assert(std::size(kControlSerial) == 60);

// The wall page.
inline constexpr std::string_view kWall[] = {
    "KA-42", "KA-49", "KA-55", "KC-55D", "KC-55H", "KW-55D", "KW-55H", "KC-55D2", "KC-55H2",
    "KCV-5501D", "KCV-5501H", "KC-55D3", "KC-55H3", "KB-65P", "KB-65", "KC-46D",
    "KA-43Q", "KA-55Q", "KA-65Q"};
static_assert(std::size(kWall) == 19);

}  // namespace dravik::ui::model_combos
