#include "controls/colour.h"

#include <gtest/gtest.h>

#include <ostream>

namespace dravik::controls {
// Readable failures: gtest finds this next to Rgb.
inline void PrintTo(const Rgb& c, std::ostream* os) { *os << "RGB(" << c.r << ", " << c.g << ", " << c.b << ")"; }

namespace {

TEST(ColourTest, ExamplesOfTheAdjustment) {
    const Rgb white{255, 255, 255};
    EXPECT_EQ(AdjustColour(white, -10, 0), (Rgb{229, 229, 229}));
    EXPECT_EQ(LightnessOf(RgbToHls(white)), 255);
    EXPECT_EQ(SaturationOf(RgbToHls(white)), 0);

    for (const Rgb c : {Rgb{0, 0, 0}, Rgb{255, 0, 0}, Rgb{48, 140, 198}, Rgb{10, 20, 30}, white}) {
        for (int dS : {-100, -50, 0, 50, 100}) {
            EXPECT_EQ(AdjustColour(c, 100, dS), white);
            EXPECT_EQ(AdjustColour(c, -100, dS), (Rgb{0, 0, 0}));
        }
    }
}

TEST(ColourTest, EveryGreyReturnsItself) {
    for (int v = 0; v <= 255; ++v) {
        EXPECT_EQ(AdjustColour(Rgb{v, v, v}, 0, 0), (Rgb{v, v, v})) << v;
    }
}

// Worked by hand from the conversion rules (single precision, truncation at each step).
struct ColourCase {
    Rgb in;
    PackedHls hls;
    Rgb back;          // HlsToRgb(RgbToHls(in))
    Rgb darker;        // AdjustColour(in, -10, 0): the idle face
    Rgb pressed;       // AdjustColour(in, 50, -50)
    Rgb hovering;      // AdjustColour(in, 80, -66)
};

TEST(ColourTest, TableOfColours) {
    const ColourCase cases[] = {
        {{255, 0, 0}, PackHls(255, 127, 255), {254, 0, 0}, {228, 0, 0}, {222, 159, 159}, {237, 220, 220}},
        {{0, 0, 255}, PackHls(170, 127, 255), {0, 0, 254}, {0, 0, 228}, {159, 159, 222}, {220, 220, 237}},
        {{0, 255, 0}, PackHls(85, 127, 255), {0, 254, 0}, {0, 228, 0}, {159, 222, 159}, {220, 237, 220}},
        {{48, 140, 198}, PackHls(143, 123, 155), {48, 143, 197}, {43, 128, 176}, {169, 194, 208}, {222, 229, 233}},
        {{0, 120, 215}, PackHls(146, 107, 255), {0, 120, 214}, {0, 108, 192}, {144, 185, 217}, {214, 226, 235}},
        {{240, 240, 240}, PackHls(0, 240, 0), {240, 240, 240}, {216, 216, 216}, {247, 247, 247}, {252, 252, 252}},
        {{10, 20, 30}, PackHls(148, 20, 127), {10, 20, 29}, {9, 18, 26}, {107, 138, 166}, {200, 208, 215}},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.in.r << "," << c.in.g << "," << c.in.b);
        EXPECT_EQ(RgbToHls(c.in), c.hls);
        EXPECT_EQ(HlsToRgb(c.hls), c.back);
        EXPECT_EQ(AdjustColour(c.in, -10, 0), c.darker);
        EXPECT_EQ(AdjustColour(c.in, 50, -50), c.pressed);
        EXPECT_EQ(AdjustColour(c.in, 80, -66), c.hovering);
    }
}

}  // namespace
}  // namespace dravik::controls
