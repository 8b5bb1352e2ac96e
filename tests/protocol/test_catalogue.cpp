// Worked frames of the command catalogue and the value rules of its builders.
#include "hex.h"
#include "protocol/catalogue.h"

#include <gtest/gtest.h>

namespace dravik::protocol {
namespace {

using test::Hex;

TEST(Catalogue, IrKeys) {
    const struct { IrKey key; const char* frame; } cases[] = {
        {IrKey::Power, "A6 01 00 00 00 04 01 FD A0 FF"},  {IrKey::Menu, "A6 01 00 00 00 04 01 FD A1 FE"},
        {IrKey::Input, "A6 01 00 00 00 04 01 FD A2 FD"},  {IrKey::VolumeUp, "A6 01 00 00 00 04 01 FD A3 FC"},
        {IrKey::VolumeDown, "A6 01 00 00 00 04 01 FD A4 FB"}, {IrKey::Mute, "A6 01 00 00 00 04 01 FD A5 FA"},
        {IrKey::Up, "A6 01 00 00 00 04 01 FD A6 F9"},     {IrKey::Down, "A6 01 00 00 00 04 01 FD A7 F8"},
        {IrKey::Left, "A6 01 00 00 00 04 01 FD A8 F7"},   {IrKey::Right, "A6 01 00 00 00 04 01 FD A9 F6"},
        {IrKey::Ok, "A6 01 00 00 00 04 01 FD B1 EE"},     {IrKey::Return, "A6 01 00 00 00 04 01 FD B2 ED"},
        {IrKey::Info, "A6 01 00 00 00 04 01 FD D2 8D"},
    };
    ASSERT_EQ(std::size(cases), kAllIrKeys.size());
    for (const auto& c : cases) EXPECT_EQ(Hex(BuildIrKey(c.key)), c.frame);
}

TEST(Catalogue, FixedFrames) {
    const struct { Frame frame; const char* hex; } cases[] = {
        {BuildPowerOn(), "A6 01 00 00 00 04 01 18 02 B8"},
        {BuildPowerOff(), "A6 01 00 00 00 04 01 18 01 BB"},
        {BuildPowerOffAlt(), "A6 01 00 00 00 04 01 A8 00 0A"},
        {BuildVideoParamsQueryFrame(), "A6 01 00 00 00 03 01 33 96"},
        {BuildTemperatureQueryFrame(), "A6 01 00 00 00 03 01 2F 8A"},
        {BuildHoursQueryFrame(), "A6 01 00 00 00 04 01 0F 02 AF"},
        {BuildBacklightQueryFrame(), "A6 01 00 00 00 03 01 31 94"},
        {BuildResetFrame(), "A6 01 00 00 00 03 01 FE 5B"},
        {BuildMediaPlayerFrame(), "A6 01 00 00 00 07 01 AC 16 00 00 00 1B"},
        {BuildOpsFirstFrame(), "A6 01 00 00 00 07 01 AC 08 00 00 00 05"},
        {BuildOpsSecondFrame(), "A6 01 00 00 00 07 01 AC 0B 00 00 00 06"},
        {BuildInfoFrame(), "A6 01 00 00 00 04 01 FD D2 8D"},
        {BuildBacklight(DisplayValues{}), "A6 01 00 00 00 04 01 30 32 A0"},
        {BuildBacklight(DisplayValues{.backlight = 300}), "A6 01 00 00 00 04 01 30 2C BE"},  // low 8 bits
        {BuildBacklight(DisplayValues{.backlight = -1}), "A6 01 00 00 00 04 01 30 FF 6D"},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(c.frame), c.hex);
}

TEST(Catalogue, ReaddressedPowerOn) {
    const struct { const char* id; const char* frame; } cases[] = {
        {"12", "A6 0C 00 00 00 04 01 18 02 B5"}, {"5", "A6 05 00 00 00 04 01 18 02 BC"},
        {"0", "A6 00 00 00 00 04 01 18 02 B9"},  {"", "A6 00 00 00 00 04 01 18 02 B9"},
        {"abc", "A6 00 00 00 00 04 01 18 02 B9"}, {"300", "A6 2C 00 00 00 04 01 18 02 95"},
    };
    Frame f = BuildPowerOn();
    for (const auto& c : cases) {  // sealing again never folds in the old checksum
        AddressAndSeal(f, c.id);
        EXPECT_EQ(Hex(f), c.frame) << "ID " << c.id;
    }
    EXPECT_EQ(f.TxText(), "A6 2C 00 00 00 04 01 18 02 95 ");
}

TEST(Catalogue, InputSourceRows) {
    const struct { Byte source, sub, checksum; } rows[] = {
        {0x09, 0x00, 0x04}, {0x0D, 0x00, 0x00}, {0x22, 0x00, 0x2F}, {0x05, 0x01, 0x09}, {0x06, 0x00, 0x0B},
        {0x07, 0x01, 0x0B}, {0x07, 0x00, 0x0A}, {0x0A, 0x00, 0x07}, {0x2C, 0x00, 0x21}, {0x23, 0x00, 0x2E},
        {0x09, 0x01, 0x05}, {0x0E, 0x00, 0x03}, {0x21, 0x00, 0x2C}, {0x05, 0x00, 0x08}, {0x20, 0x00, 0x2D},
        {0x08, 0x01, 0x04}, {0x0C, 0x00, 0x01}, {0x11, 0x00, 0x1C}, {0x18, 0x00, 0x15},
    };
    for (const auto& r : rows) {
        const Frame f = BuildInputSource(r.source, r.sub);
        ASSERT_EQ(f.size(), 13u);
        EXPECT_EQ(f.bytes(), (Bytes{0xA6, 0x01, 0x00, 0x00, 0x00, 0x07, 0x01, 0xAC, r.source, r.sub, 0x00, 0x00, r.checksum}))
            << Hex(f);
    }
}

TEST(Catalogue, VolumeForms) {
    const struct { int level; const char *cap60, *one, *twoCap31, *two; } cases[] = {
        {75, "3C", "4B", "1F 1F", "4B 4B"},
        {30, "1E", "1E", "1E 1E", "1E 1E"},
        {60, "3C", "3C", "1F 1F", "3C 3C"},
        {31, "1F", "1F", "1F 1F", "1F 1F"},
        {-1, "FF", "FF", "FF FF", "FF FF"},  // caps compare signed: a negative level is not capped
        {300, "3C", "2C", "1F 1F", "2C 2C"},
    };
    auto data = [](const Frame& f) {
        std::string s = Hex(f);
        return s.substr(24, s.size() - 27);  // between the command byte and the checksum
    };
    for (const auto& c : cases) {
        DisplayValues v;
        v.volume = c.level;
        EXPECT_EQ(data(BuildVolumeOneCap60(v)), c.cap60) << c.level;
        EXPECT_EQ(data(BuildVolumeOne(v)), c.one) << c.level;
        EXPECT_EQ(data(BuildVolumeTwoCap31(v)), c.twoCap31) << c.level;
        EXPECT_EQ(data(BuildVolumeTwo(v)), c.two) << c.level;
    }
    DisplayValues v;
    v.volume = 75;
    EXPECT_EQ(Hex(BuildVolumeTwoCap31(v)), "A6 01 00 00 00 05 01 44 1F 1F E7");
}

TEST(Catalogue, Locks) {
    // Data byte of: lock bits, key 1A 1-or-2, IR 1C 1-or-2, either, key 1C 1-or-7.
    const struct { bool key, ir; Byte bits, key12, ir12, either, key17; } cases[] = {
        {false, false, 0x03, 0x01, 0x01, 0x01, 0x07},
        {true, false, 0x01, 0x02, 0x01, 0x02, 0x01},
        {false, true, 0x02, 0x01, 0x02, 0x02, 0x07},
        {true, true, 0x00, 0x02, 0x02, 0x02, 0x01},
    };
    for (const auto& c : cases) {
        DisplayValues v;
        v.keyLock = c.key;
        v.irLock = c.ir;
        SCOPED_TRACE(testing::Message() << "key " << c.key << " ir " << c.ir);
        EXPECT_EQ(BuildLockBits(v), Frame::Build(0x1C, {c.bits}));
        EXPECT_EQ(BuildKeyLock12(v), Frame::Build(0x1A, {c.key12}));
        EXPECT_EQ(BuildIrLock12(v), Frame::Build(0x1C, {c.ir12}));
        EXPECT_EQ(BuildEitherLock(v), Frame::Build(0x1C, {c.either}));
        EXPECT_EQ(BuildKeyLock17(v), Frame::Build(0x1C, {c.key17}));
    }
}

TEST(Catalogue, BrightnessForms) {
    DisplayValues v;
    v.brightness = 51;
    v.video = {1, 2, 3, 4, 5, -6};
    EXPECT_EQ(Hex(BuildVideoParamsSetFive(v)), "A6 01 00 00 00 08 01 32 33 01 02 03 04 AB");
    EXPECT_EQ(Hex(BuildVideoParamsSetSeven(v)), "A6 01 00 00 00 0A 01 32 33 01 02 03 04 05 FA 56");
    EXPECT_EQ(Hex(BuildBrightness68(v)), "A6 01 00 00 00 04 01 68 33 F9");
    EXPECT_EQ(Hex(BuildBrightnessC0(v)), "A6 01 00 00 00 04 01 C0 33 51");
    EXPECT_EQ(v.brightness, 51);  // only the even form changes the stored level
    EXPECT_EQ(Hex(BuildVideoParamsSetSevenEven(v)), "A6 01 00 00 00 0A 01 32 32 01 02 03 04 05 FA 57");
    EXPECT_EQ(v.brightness, 50);

    const struct { int level, even; } evens[] = {{50, 50}, {51, 50}, {-3, -2}, {0, 0}, {-1, 0}, {257, 256}};
    for (const auto& e : evens) {
        DisplayValues w;
        w.brightness = e.level;
        const Frame f = BuildVideoParamsSetSevenEven(w);
        EXPECT_EQ(w.brightness, e.even) << e.level;
        EXPECT_EQ(f[8], LevelByte(e.even)) << e.level;
    }
}

}  // namespace
}  // namespace dravik::protocol
