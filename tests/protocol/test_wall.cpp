// Wall page frames: power, wall mode, settings bytes, monitor ID clamp, location test, gains.
#include "hex.h"
#include "protocol/wall.h"

#include <gtest/gtest.h>

namespace dravik::protocol {
namespace {

using test::Hex;

TEST(Wall, FixedFrames) {
    EXPECT_EQ(Hex(BuildWallPower(true)), "A6 01 00 00 00 04 01 18 02 B8");
    EXPECT_EQ(Hex(BuildWallPower(false)), "A6 01 00 00 00 04 01 18 01 BB");
    EXPECT_EQ(Hex(BuildWallMode(true)), "A6 01 00 00 00 07 01 22 01 02 00 00 80");
    EXPECT_EQ(Hex(BuildWallMode(false)), "A6 01 00 00 00 07 01 22 00 02 00 00 81");
    EXPECT_EQ(Hex(BuildLocationTest()), "A6 01 00 00 00 04 01 FD A1 FE");
    EXPECT_EQ(Hex(BuildGainRequest()), "A6 01 00 00 00 03 01 37 92");
}

TEST(Wall, SettingsBytes) {
    EXPECT_EQ(Hex(BuildWallSettings(true, true, "4", "KA-55Q", 3, 2)), "A6 01 00 00 00 07 01 22 01 01 04 12 95");
    EXPECT_EQ(Hex(BuildWallSettings(true, true, "4", "KA-55", 3, 2)), "A6 01 00 00 00 07 01 22 01 01 04 0D 8A");

    // Data bytes E F P M.
    const struct { bool enable, comp; const char* pos; const char* model; int columns, rows; Bytes data; } cases[] = {
        {true, true, "1", "KA-55Q", 3, 2, {0x01, 0x01, 0x01, 0x12}},
        {true, true, "1", "KA-55", 3, 2, {0x01, 0x01, 0x01, 0x0D}},
        {true, true, "2", "KC-46D", 2, 2, {0x01, 0x01, 0x02, 0x11}},
        {true, true, "2", "LM-55", 2, 2, {0x01, 0x01, 0x02, 0x0C}},
        {true, true, "25", "KC55-D3", 5, 5, {0x01, 0x01, 0x19, 0x41}},
        {true, true, "25", "KC-55D", 5, 5, {0x01, 0x01, 0x19, 0x2D}},
        {true, true, "1", "", 1, 1, {0x01, 0x01, 0x01, 0x01}},
        {false, true, "", "KA-55", 1, 1, {0x00, 0x01, 0x00, 0x01}},
        {true, false, "abc", "KA-55", 1, 1, {0x01, 0x00, 0x00, 0x01}},
        {true, true, "300", "KA-55", 1, 1, {0x01, 0x01, 0x2C, 0x01}},
        {true, true, "-1", "KA-55", 1, 1, {0x01, 0x01, 0xFF, 0x01}},
        {true, true, "1", "KA-43Q", 1, 20, {0x01, 0x01, 0x01, 0x1E}},  // 286 in 8 bits
        {true, true, "1", "KA-55", 0, 0, {0x01, 0x01, 0x01, 0xF6}},    // -10 in 8 bits
        {true, true, "1", "KA-55", 2147483647, 2147483647, {0x01, 0x01, 0x01, 0xEB}},
    };
    for (const auto& c : cases) {
        const Frame f = BuildWallSettings(c.enable, c.comp, c.pos, c.model, c.columns, c.rows);
        ASSERT_EQ(f.size(), 13u);
        EXPECT_EQ(Bytes(f.bytes().begin() + 8, f.bytes().begin() + 12), c.data)
            << c.model << ' ' << c.columns << 'x' << c.rows << " pos \"" << c.pos << '"';
        EXPECT_EQ(f.bytes().back(), Checksum(std::span<const Byte>(f.data(), 12)));
    }
}

TEST(Wall, MonitorIdClamp) {
    const struct { const char* text; Byte id; } cases[] = {
        {"0", 1}, {"26", 1}, {"", 1}, {"abc", 1}, {"-3", 1}, {"256", 1}, {"99999999999", 1},
        {"1", 1}, {"25", 25}, {"12", 12}, {" 7x", 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WallMonitorId(c.text), c.id) << '"' << c.text << '"';
        Frame f = BuildWallPower(true);
        AddressAndSealWall(f, c.text);
        EXPECT_EQ(f[1], c.id);
        EXPECT_EQ(f.bytes().back(), Checksum(std::span<const Byte>(f.data(), f.size() - 1)));
    }
}

TEST(Wall, GainSetForms) {
    EXPECT_EQ(Hex(BuildGainSet(255, 0, 128, "KC-55D3")), "A6 01 00 00 00 09 01 36 FF 00 80 80 80 80 66");
    EXPECT_EQ(Hex(BuildGainSet(255, 0, 128, "KC-55H3")), "A6 01 00 00 00 09 01 36 FF 00 80 80 80 80 66");
    EXPECT_EQ(Hex(BuildGainSet(255, 0, 128, "KA-55")), "A6 01 00 00 00 06 01 36 FF 00 80 E9");
    EXPECT_EQ(Hex(BuildGainSet(255, 0, 128, "kc-55d3")), "A6 01 00 00 00 06 01 36 FF 00 80 E9");
    Frame f = BuildGainSet(255, 0, 128, "KA-55");
    AddressAndSealWall(f, "7");
    EXPECT_EQ(Hex(f), "A6 07 00 00 00 06 01 36 FF 00 80 EF");
}

TEST(Wall, GainReply) {
    const struct { const char* name; const char* reply; bool ok; int r, g, b; } cases[] = {
        {"gains", "21 01 00 00 05 01 37 64 32 0A 00", true, 100, 50, 10},
        {"unsigned bytes", "21 01 00 00 06 01 37 FF 80 00 00", true, 255, 128, 0},
        {"no checksum byte", "21 01 00 00 06 01 37 64 32 0A", true, 100, 50, 10},
        {"other command", "21 01 00 00 05 01 33 64 32 0A 00", false, 1, 2, 3},
        {"length 4", "21 01 00 00 04 01 37 64 32 0A 00", false, 1, 2, 3},
        {"length negative", "21 01 00 00 90 01 37 64 32 0A 00", false, 1, 2, 3},
        {"wrong header", "A6 01 00 00 05 01 37 64 32 0A 00", false, 1, 2, 3},
        {"blue missing", "21 01 00 00 05 01 37 64 32", false, 1, 2, 3},
        {"header only", "21 01 00 00 05 01 37", false, 1, 2, 3},
        {"nothing", "", false, 1, 2, 3},
    };
    for (const auto& c : cases) {
        int r = 1, g = 2, b = 3;
        EXPECT_EQ(DecodeGainReply(test::Parse(c.reply), r, g, b), c.ok) << c.name;
        EXPECT_EQ(r, c.r) << c.name;
        EXPECT_EQ(g, c.g) << c.name;
        EXPECT_EQ(b, c.b) << c.name;
    }
}

TEST(Wall, ScanFilter) {
    for (const char* kept : {"KC-46D", "KC55-D3", "KA-86Q"}) EXPECT_TRUE(IsWallScanModel(kept)) << kept;
    for (const char* dropped : {"LM-55", "unknow", "ORV", "LM", "KA-55 ", ""})
        EXPECT_FALSE(IsWallScanModel(dropped)) << dropped;
    EXPECT_TRUE(IsBase15MatrixModel("KC55-D3"));
    EXPECT_FALSE(IsBase15MatrixModel("KC-55D"));
}

}  // namespace
}  // namespace dravik::protocol
