// Model names as data: the 21 model groups, the model sets of the status and service
// commands, the identity forms, the video-parameter layouts and the video wall's model
// lists. Each list keeps the order in which the command tables give it,
// so it can be checked against them line by line. Names are whole and case-sensitive.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <span>
#include <string_view>

namespace dravik::protocol {

using ModelList = std::span<const std::string_view>;

// True when `model` equals one of the names, exactly.
constexpr bool Contains(ModelList names, std::string_view model) {
    for (std::string_view n : names)
        if (n == model) return true;
    return false;
}

// ---------------------------------------------------------------------------------------
// Model groups. Every member of a group gets the same outcome for every model-dependent
// display command.

enum class ModelGroup {
    Classic,
    ClassicNoBacklight,
    ClassicAltDp,
    ClassicRawVolume,
    ModernCms,
    ModernCmsDp,
    ModernSixInput,
    ModernFiveInput,
    ModernFourInput,
    ModernThreeInput,
    ModernCappedVolume,
    ModernC0Brightness,
    ModernAltPower,
    ModernAltPowerDp,
    Compact,
    CompactBacklight,
    NoInput,
    LevelsOnly,
    DpOnly,
    DviOnly,
    CmsCustomOnly,
};
inline constexpr std::size_t kModelGroupCount = 21;

namespace groups {
inline constexpr std::string_view kClassic[] = {
    "KA-42", "KA-49", "KA-55", "KB-65", "KB-65P", "KC-55D", "KC-55H", "KW-55D", "KW-55H",
    "KC-55D2", "KC-55H2", "KCV-5501D", "KCV-5501H"};
inline constexpr std::string_view kClassicNoBacklight[] = {"KB-32", "KB-43", "KB-48", "KB-55"};
inline constexpr std::string_view kClassicAltDp[] = {"KC-46D"};
inline constexpr std::string_view kClassicRawVolume[] = {"MR-32E", "MR-42E", "MR-55E"};
inline constexpr std::string_view kModernCms[] = {
    "LM-43", "LM-50", "LM-55", "LM-43A", "LM-50A", "LM-55A", "LM-65A", "LM-75A", "LM-86A",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q"};
inline constexpr std::string_view kModernCmsDp[] = {"LM-65", "LM-75", "LM-86"};
inline constexpr std::string_view kModernSixInput[] = {"LD-75", "LD-84", "LD-98"};
inline constexpr std::string_view kModernFiveInput[] = {"KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q"};
inline constexpr std::string_view kModernFourInput[] = {"KA-43Q"};
inline constexpr std::string_view kModernThreeInput[] = {"KC-55D3", "KC-55H3"};
inline constexpr std::string_view kModernCappedVolume[] = {"LM-4302", "LM-5502", "LM-6502", "KB-3202"};
inline constexpr std::string_view kModernC0Brightness[] = {
    "SVL-4301", "SVL-5501", "SVL-6501", "HVL-4301", "HVL-5501", "HVL-6501"};
inline constexpr std::string_view kModernAltPower[] = {"NFB-6502", "NFB-7502", "NFB-8602", "NFB-8603"};
inline constexpr std::string_view kModernAltPowerDp[] = {"NFB-6503", "NFB-7503"};
inline constexpr std::string_view kCompact[] = {"LX-24", "LX-28", "LX-32", "LX-43", "LX-55"};
inline constexpr std::string_view kCompactBacklight[] = {
    "MS-15G", "MS-17G", "MS-19G", "MR-22G", "MR-24G", "MH-24G", "MD-17G", "MD-22G"};
inline constexpr std::string_view kNoInput[] = {"GBW-2201"};
inline constexpr std::string_view kLevelsOnly[] = {"YT700WKB", "ZRQ-5501", "ZRF-3201"};
inline constexpr std::string_view kDpOnly[] = {"NFB-9603"};
inline constexpr std::string_view kDviOnly[] = {"KA-4301Q"};
inline constexpr std::string_view kCmsCustomOnly[] = {
    "JSV-4302QH", "JSV-5502QH", "JSV-6502QH", "JSV-7502QH", "JSV-8602QH"};
}  // namespace groups

struct GroupEntry {
    ModelGroup group;
    std::string_view name;
    ModelList members;
};

// In the order of the enum, so kGroups[i].group == ModelGroup(i).
inline constexpr GroupEntry kGroups[] = {
    {ModelGroup::Classic, "classic", groups::kClassic},
    {ModelGroup::ClassicNoBacklight, "classic-no-backlight", groups::kClassicNoBacklight},
    {ModelGroup::ClassicAltDp, "classic-alt-dp", groups::kClassicAltDp},
    {ModelGroup::ClassicRawVolume, "classic-raw-volume", groups::kClassicRawVolume},
    {ModelGroup::ModernCms, "modern-cms", groups::kModernCms},
    {ModelGroup::ModernCmsDp, "modern-cms-dp", groups::kModernCmsDp},
    {ModelGroup::ModernSixInput, "modern-six-input", groups::kModernSixInput},
    {ModelGroup::ModernFiveInput, "modern-five-input", groups::kModernFiveInput},
    {ModelGroup::ModernFourInput, "modern-four-input", groups::kModernFourInput},
    {ModelGroup::ModernThreeInput, "modern-three-input", groups::kModernThreeInput},
    {ModelGroup::ModernCappedVolume, "modern-capped-volume", groups::kModernCappedVolume},
    {ModelGroup::ModernC0Brightness, "modern-c0-brightness", groups::kModernC0Brightness},
    {ModelGroup::ModernAltPower, "modern-alt-power", groups::kModernAltPower},
    {ModelGroup::ModernAltPowerDp, "modern-alt-power-dp", groups::kModernAltPowerDp},
    {ModelGroup::Compact, "compact", groups::kCompact},
    {ModelGroup::CompactBacklight, "compact-backlight", groups::kCompactBacklight},
    {ModelGroup::NoInput, "no-input", groups::kNoInput},
    {ModelGroup::LevelsOnly, "levels-only", groups::kLevelsOnly},
    {ModelGroup::DpOnly, "dp-only", groups::kDpOnly},
    {ModelGroup::DviOnly, "dvi-only", groups::kDviOnly},
    {ModelGroup::CmsCustomOnly, "cms-custom-only", groups::kCmsCustomOnly},
};
static_assert(std::size(kGroups) == kModelGroupCount);

// The group of a model name; nullopt for an unlisted name.
std::optional<ModelGroup> GroupOf(std::string_view model);
std::string_view GroupName(ModelGroup group);
ModelList GroupMembers(ModelGroup group);

// ---------------------------------------------------------------------------------------
// Model sets of the status and service commands (a model outside a set is refused unless
// a silent set names it).

namespace sets {

inline constexpr std::string_view kTemperature[] = {
    "KA-42", "KA-49", "KA-55", "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P", "KB-3202",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "LM-4302", "LM-5502", "LM-6502",
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "SVL-4301", "SVL-5501", "SVL-6501",
    "HVL-4301", "HVL-5501", "HVL-6501",
    "LD-75", "LD-84", "LD-98",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "MR-32E", "MR-42E", "MR-55E",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55",
    "YT700WKB",
    "ZRQ-5501",
    "ZRF-3201"};
static_assert(std::size(kTemperature) == 67);

// The temperature set without KA-43Q, KA-55Q, KA-65Q, KA-75Q, KA-86Q, YT700WKB, ZRQ-5501
// and ZRF-3201, and with GBW-2201.
inline constexpr std::string_view kHours[] = {
    "KA-42", "KA-49", "KA-55",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P", "KB-3202",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "LM-4302", "LM-5502", "LM-6502",
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "SVL-4301", "SVL-5501", "SVL-6501",
    "HVL-4301", "HVL-5501", "HVL-6501",
    "LD-75", "LD-84", "LD-98",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "MR-32E", "MR-42E", "MR-55E",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55",
    "GBW-2201"};
static_assert(std::size(kHours) == 60);

inline constexpr std::string_view kBacklight[] = {
    "KA-42", "KA-49", "KA-55",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P",
    "KC-55D", "KC-55H", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "SVL-4301", "SVL-5501", "SVL-6501",
    "HVL-4301", "HVL-5501", "HVL-6501",
    "MR-32E", "MR-42E", "MR-55E",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55"};
static_assert(std::size(kBacklight) == 33);

// Video parameters read by "BR/BKL".
inline constexpr std::string_view kVideoParamsOnDemand[] = {
    "LD-75", "LD-84", "LD-98",
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q"};
static_assert(std::size(kVideoParamsOnDemand) == 21);

// Video parameters read before the brightness write.
inline constexpr std::string_view kVideoParamsPreRead[] = {
    "KA-42", "KA-49", "KA-55", "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P", "KB-3202",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "LM-4302", "LM-5502", "LM-6502",
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "LD-75", "LD-84", "LD-98",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "MR-32E", "MR-42E", "MR-55E"};
static_assert(std::size(kVideoParamsPreRead) == 53);

// No pre-read for these: the brightness write goes ahead without it, without a message.
inline constexpr std::string_view kVideoParamsPreReadSilent[] = {
    "SVL-4301", "SVL-5501", "SVL-6501",
    "HVL-4301", "HVL-5501", "HVL-6501",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55",
    "GBW-2201",
    "MS-15G", "MS-17G", "MS-19G",
    "MR-22G", "MR-24G",
    "MH-24G",
    "MD-17G", "MD-22G",
    "YT700WKB",
    "ZRQ-5501",
    "ZRF-3201",
    "NFB-6502", "NFB-7502", "NFB-8602", "NFB-6503", "NFB-7503", "NFB-8603"};
static_assert(std::size(kVideoParamsPreReadSilent) == 29);

inline constexpr std::string_view kReset[] = {
    "KA-42", "KA-49", "KA-55",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "LD-75", "LD-84", "LD-98",
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "MR-32E", "MR-42E", "MR-55E",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55"};
static_assert(std::size(kReset) == 49);

inline constexpr std::string_view kMediaPlayer[] = {
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q"};
static_assert(std::size(kMediaPlayer) == 18);

inline constexpr std::string_view kOpsFirst[] = {
    "KA-42", "KA-49", "KA-55",
    "KB-65", "KB-65P",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "MR-32E", "MR-42E", "MR-55E"};
static_assert(std::size(kOpsFirst) == 19);

inline constexpr std::string_view kOpsSecond[] = {
    "LD-75", "LD-84", "LD-98",
    "LM-65", "LM-75", "LM-86", "LM-65A", "LM-75A", "LM-86A",
    "JSV-6501Q", "JSV-7501Q", "JSV-8601Q"};
static_assert(std::size(kOpsSecond) == 12);

inline constexpr std::string_view kOpsSilent[] = {
    "KB-32", "KB-43", "KB-48", "KB-55",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55"};
static_assert(std::size(kOpsSilent) == 9);

}  // namespace sets

// ---------------------------------------------------------------------------------------
// Layouts of the video-parameters reply (command 0x33), by model.

namespace layouts {

// Parameters 2 to 7 with clamps on parameters 4, 5 and 7.
inline constexpr std::string_view kSixClamped[] = {
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50",
    "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A"};
static_assert(std::size(kSixClamped) == 12);

// Parameters 2 to 7 as sent.
inline constexpr std::string_view kSix[] = {
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q",
    "KC-55D3", "KC-55H3",
    "LM-4302", "LM-5502", "LM-6502", "KB-3202"};
static_assert(std::size(kSix) == 17);

// Parameters 2, 3 and 5 read; parameter 4 fixed at 72.
inline constexpr std::string_view kFixedFour[] = {"KC-46D"};

// Every other model: parameters 2 to 5.

}  // namespace layouts

// ---------------------------------------------------------------------------------------
// Identity query form per set of models asked (the serial search and the monitor check):
// every model, or the wall models only.

namespace identity_forms {

inline constexpr std::string_view kAllA2[] = {
    "KA-42", "KA-49", "KA-55",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2", "KC-55D3", "KC-55H3",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "SVL-4301", "SVL-5501", "SVL-6501",
    "HVL-4301", "HVL-5501", "HVL-6501",
    "LD-75", "LD-84", "LD-98",
    "MR-32E", "MR-42E", "MR-55E", "MR-22G", "MR-24G",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55",
    "GBW-2201",
    "MS-15G", "MS-17G", "MS-19G",
    "MH-24G",
    "MD-17G", "MD-22G"};
static_assert(std::size(kAllA2) == 46);

inline constexpr std::string_view kAllA1[] = {
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86", "LM-50", "LM-43A", "LM-55A", "LM-65A", "LM-75A", "LM-86A", "LM-50A",
    "JSV-4301Q", "JSV-5001Q", "JSV-5501Q", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q",
    "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q"};
static_assert(std::size(kAllA1) == 23);

inline constexpr std::string_view kWallA2[] = {
    "KA-42", "KA-49", "KA-55",
    "KB-32", "KB-43", "KB-48", "KB-55", "KB-65", "KB-65P",
    "KC-55D", "KC-55H", "KC-46D", "KC-55D2", "KC-55H2",
    "KW-55D", "KW-55H",
    "KCV-5501D", "KCV-5501H",
    "LD-75", "LD-84", "LD-98",
    "MR-32E", "MR-42E", "MR-55E",
    "LX-24", "LX-28", "LX-32", "LX-43", "LX-55"};
static_assert(std::size(kWallA2) == 29);

inline constexpr std::string_view kWallA1[] = {
    "KC-55D3", "KC-55H3",
    "LM-43", "LM-55", "LM-65", "LM-75", "LM-86",
    "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q"};
static_assert(std::size(kWallA1) == 12);

}  // namespace identity_forms

// ---------------------------------------------------------------------------------------
// Video wall lists.

namespace wall_models {

// Scan results a video wall keeps; every other model text is dropped.
inline constexpr std::string_view kScanFilter[] = {
    "KC-55D3", "KC55-D3", "KC-55D", "KC-55H", "KA-42", "KA-49", "KA-55", "KB-65", "KB-65P",
    "KC-46D", "KW-55D", "KW-55H", "KC-55D2", "KC-55H2", "KCV-5501D", "KCV-5501H",
    "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q"};
static_assert(std::size(kScanFilter) == 21);

// Models whose matrix byte counts rows in steps of 15; all others in steps of 10.
inline constexpr std::string_view kBase15Matrix[] = {
    "KC-46D", "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q", "KC-55D3", "KC-55H3", "KC55-D3"};
static_assert(std::size(kBase15Matrix) == 9);

}  // namespace wall_models

}  // namespace dravik::protocol
