// The model tables: group sizes, set sizes, and that the sets given by name agree with the
// groups they are said to cover (a mistyped or missing name shows up here).
#include "protocol/models.h"
#include "ui/model_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace dravik::protocol {
namespace {

using G = ModelGroup;
namespace combos = ui::model_combos;
using Names = std::set<std::string_view>;

Names NamesOf(ModelList list) { return Names(list.begin(), list.end()); }

Names Union(std::initializer_list<G> gs) {
    Names out;
    for (G g : gs)
        for (auto n : GroupMembers(g)) out.insert(n);
    return out;
}

TEST(Models, GroupSizesAndNames) {
    const struct { G group; const char* name; std::size_t members; } expected[] = {
        {G::Classic, "classic", 13},
        {G::ClassicNoBacklight, "classic-no-backlight", 4},
        {G::ClassicAltDp, "classic-alt-dp", 1},
        {G::ClassicRawVolume, "classic-raw-volume", 3},
        {G::ModernCms, "modern-cms", 15},
        {G::ModernCmsDp, "modern-cms-dp", 3},
        {G::ModernSixInput, "modern-six-input", 3},
        {G::ModernFiveInput, "modern-five-input", 4},
        {G::ModernFourInput, "modern-four-input", 1},
        {G::ModernThreeInput, "modern-three-input", 2},
        {G::ModernCappedVolume, "modern-capped-volume", 4},
        {G::ModernC0Brightness, "modern-c0-brightness", 6},
        {G::ModernAltPower, "modern-alt-power", 4},
        {G::ModernAltPowerDp, "modern-alt-power-dp", 2},
        {G::Compact, "compact", 5},
        {G::CompactBacklight, "compact-backlight", 8},
        {G::NoInput, "no-input", 1},
        {G::LevelsOnly, "levels-only", 3},
        {G::DpOnly, "dp-only", 1},
        {G::DviOnly, "dvi-only", 1},
        {G::CmsCustomOnly, "cms-custom-only", 5},
    };
    ASSERT_EQ(std::size(expected), kModelGroupCount);
    for (const auto& e : expected) {
        EXPECT_EQ(GroupName(e.group), e.name);
        EXPECT_EQ(GroupMembers(e.group).size(), e.members) << e.name;
    }
}

TEST(Models, EveryNameInExactlyOneGroup) {
    std::vector<std::string_view> all;
    for (const auto& g : kGroups) all.insert(all.end(), g.members.begin(), g.members.end());
    EXPECT_EQ(all.size(), 89u);
    EXPECT_EQ(NamesOf(all).size(), all.size()) << "a name occurs twice";
    for (const auto& g : kGroups)
        for (auto n : g.members) EXPECT_EQ(GroupOf(n), g.group) << n;
}

TEST(Models, LookupIsExact) {
    EXPECT_EQ(GroupOf("LM-43"), G::ModernCms);
    EXPECT_EQ(GroupOf("KA-43Q"), G::ModernFourInput);
    EXPECT_EQ(GroupOf("KA-4301Q"), G::DviOnly);
    EXPECT_EQ(GroupOf("NFB-8603"), G::ModernAltPower);
    EXPECT_EQ(GroupOf("NFB-9603"), G::DpOnly);
    for (const char* unlisted : {"lm-43", "LM-43 ", " LM-43", "LM-4", "", "KC55-D3", "LM-43\r"})
        EXPECT_FALSE(GroupOf(unlisted).has_value()) << '"' << unlisted << '"';
}

TEST(Models, SetsMatchTheirGroups) {
    const Names temperature = NamesOf(sets::kTemperature);
    EXPECT_EQ(temperature, Union({G::Classic, G::ClassicNoBacklight, G::ClassicAltDp, G::ClassicRawVolume,
                                  G::ModernCms, G::ModernCmsDp, G::ModernSixInput, G::ModernFiveInput,
                                  G::ModernFourInput, G::ModernThreeInput, G::ModernCappedVolume,
                                  G::ModernC0Brightness, G::Compact, G::LevelsOnly}));

    // The hours set is also described as the temperature set minus eight, plus GBW-2201.
    Names hours = temperature;
    for (auto n : {"KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q", "YT700WKB", "ZRQ-5501", "ZRF-3201"})
        hours.erase(n);
    hours.insert("GBW-2201");
    EXPECT_EQ(NamesOf(sets::kHours), hours);
    EXPECT_EQ(hours, Union({G::Classic, G::ClassicNoBacklight, G::ClassicAltDp, G::ClassicRawVolume,
                            G::ModernCms, G::ModernCmsDp, G::ModernSixInput, G::ModernThreeInput,
                            G::ModernCappedVolume, G::ModernC0Brightness, G::Compact, G::NoInput}));

    EXPECT_EQ(NamesOf(sets::kBacklight), Union({G::Classic, G::ClassicNoBacklight, G::ClassicRawVolume,
                                                G::ModernThreeInput, G::ModernC0Brightness, G::Compact}));
    EXPECT_EQ(NamesOf(sets::kVideoParamsOnDemand), Union({G::ModernCms, G::ModernCmsDp, G::ModernSixInput}));
    EXPECT_EQ(NamesOf(sets::kVideoParamsPreRead),
              Union({G::Classic, G::ClassicNoBacklight, G::ClassicAltDp, G::ClassicRawVolume, G::ModernCms,
                     G::ModernCmsDp, G::ModernSixInput, G::ModernFiveInput, G::ModernFourInput,
                     G::ModernThreeInput, G::ModernCappedVolume}));
    EXPECT_EQ(NamesOf(sets::kVideoParamsPreReadSilent),
              Union({G::ModernC0Brightness, G::ModernAltPower, G::ModernAltPowerDp, G::Compact,
                     G::CompactBacklight, G::NoInput, G::LevelsOnly}));
    EXPECT_EQ(NamesOf(sets::kReset), Union({G::Classic, G::ClassicNoBacklight, G::ClassicAltDp, G::ClassicRawVolume,
                                            G::ModernCms, G::ModernCmsDp, G::ModernSixInput, G::ModernThreeInput,
                                            G::Compact}));
    EXPECT_EQ(NamesOf(sets::kMediaPlayer), Union({G::ModernCms, G::ModernCmsDp}));
    EXPECT_EQ(NamesOf(sets::kOpsFirst),
              Union({G::Classic, G::ClassicAltDp, G::ClassicRawVolume, G::ModernThreeInput}));
    Names opsSecond = Union({G::ModernCmsDp, G::ModernSixInput});
    opsSecond.insert({"LM-65A", "LM-75A", "LM-86A", "JSV-6501Q", "JSV-7501Q", "JSV-8601Q"});
    EXPECT_EQ(NamesOf(sets::kOpsSecond), opsSecond);
    EXPECT_EQ(NamesOf(sets::kOpsSilent), Union({G::ClassicNoBacklight, G::Compact}));

    EXPECT_EQ(NamesOf(identity_forms::kAllA2),
              Union({G::Classic, G::ClassicNoBacklight, G::ClassicAltDp, G::ClassicRawVolume, G::ModernSixInput,
                     G::ModernThreeInput, G::ModernC0Brightness, G::Compact, G::CompactBacklight, G::NoInput}));
    EXPECT_EQ(NamesOf(identity_forms::kAllA1),
              Union({G::ModernCms, G::ModernCmsDp, G::ModernFiveInput, G::ModernFourInput}));
    EXPECT_EQ(NamesOf(identity_forms::kWallA2), Union({G::Classic, G::ClassicNoBacklight, G::ClassicAltDp,
                                                       G::ClassicRawVolume, G::ModernSixInput, G::Compact}));
}

TEST(Models, SetSizesAndNoDuplicates) {
    const struct { const char* name; ModelList list; std::size_t size; } cases[] = {
        {"temperature", sets::kTemperature, 67}, {"hours", sets::kHours, 60},
        {"backlight", sets::kBacklight, 33},     {"BR/BKL", sets::kVideoParamsOnDemand, 21},
        {"pre-read", sets::kVideoParamsPreRead, 53}, {"pre-read silent", sets::kVideoParamsPreReadSilent, 29},
        {"reset", sets::kReset, 49},             {"media player", sets::kMediaPlayer, 18},
        {"OPS first", sets::kOpsFirst, 19},      {"OPS second", sets::kOpsSecond, 12},
        {"OPS silent", sets::kOpsSilent, 9},     {"identity all A2", identity_forms::kAllA2, 46},
        {"identity all A1", identity_forms::kAllA1, 23}, {"identity wall A2", identity_forms::kWallA2, 29},
        {"identity wall A1", identity_forms::kWallA1, 12}, {"combo start", combos::kControlStart, 61},
        {"combo LAN", combos::kControlLan, 49},   {"combo RS-232", combos::kControlSerial, 60},
        {"combo wall", combos::kWall, 19},        {"wall scan", wall_models::kScanFilter, 21},
        {"base 15", wall_models::kBase15Matrix, 9},
        {"layout six clamped", layouts::kSixClamped, 12}, {"layout six", layouts::kSix, 17},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.list.size(), c.size) << c.name;
        EXPECT_EQ(NamesOf(c.list).size(), c.list.size()) << c.name << " has a duplicate";
        for (auto n : c.list)  // every name is a known model, bar the wall page's own spelling
            if (n != "KC55-D3") {
                EXPECT_TRUE(GroupOf(n).has_value()) << c.name << ": " << n;
            }
    }
}

TEST(Models, VideoLayoutsCoverTheSevenDataModels) {
    // The clamped layout is the LM members of the two cms groups.
    Names lm;
    for (auto n : Union({G::ModernCms, G::ModernCmsDp}))
        if (n.starts_with("LM-")) lm.insert(n);
    EXPECT_EQ(NamesOf(layouts::kSixClamped), lm);
    Names six = Union({G::ModernFiveInput, G::ModernFourInput, G::ModernThreeInput, G::ModernCappedVolume});
    for (auto n : GroupMembers(G::ModernCms))
        if (n.starts_with("JSV-")) six.insert(n);
    EXPECT_EQ(NamesOf(layouts::kSix), six);
}

TEST(Models, ComboListsDeriveFromTheStartList) {
    const Names dropped = {"KC-55D3", "KC-55H3", "SVL-4301", "SVL-5501", "SVL-6501", "HVL-4301",
                           "HVL-5501", "HVL-6501", "LM-4302", "LM-5502", "LM-6502", "KB-3202"};
    std::vector<std::string_view> lan;
    for (auto n : combos::kControlStart)
        if (!dropped.contains(n)) lan.push_back(n);
    EXPECT_EQ(std::vector<std::string_view>(std::begin(combos::kControlLan), std::end(combos::kControlLan)), lan);

    std::vector<std::string_view> serial = lan;
    for (auto n : {"MS-15G", "MS-17G", "MS-19G", "MR-22G", "MR-24G", "MH-24G", "MD-17G", "MD-22G", "YT700WKB",
                   "ZRQ-5501", "ZRF-3201"})
        serial.push_back(n);
    EXPECT_EQ(std::vector<std::string_view>(std::begin(combos::kControlSerial), std::end(combos::kControlSerial)),
              serial);
    EXPECT_EQ(combos::kControlStart[0], "KA-42");
    EXPECT_EQ(combos::kWall[0], "KA-42");
}

}  // namespace
}  // namespace dravik::protocol
