// The "Checksum" composer: text conversion, length rule, checksum and TX text.
#include "protocol/composer.h"

#include <gtest/gtest.h>

#include <climits>

namespace dravik::protocol {
namespace {

using Texts = std::array<std::string, kComposerBytes>;

const Texts kInitial = {"A6", "01", "00", "00", "00", "04", "01", "18", "01", "00", "00", "00", "00", "00", "00"};

TEST(Composer, HexTextValue) {
    const struct { const char* text; std::int32_t value; } cases[] = {
        {"A6", 0xA6},      {"a6", 0xA6},     {"1G", 0x01},     {"", 0},          {"G1", 0},
        {"-1", -1},        {"+1f", 0x1F},    {"  0x1F", 0x1F}, {"0X1f", 0x1F},   {"0x", 0},
        {"0xG", 0},        {"-0x10", -16},   {" \t7", 7},      {"100", 0x100},   {"7FFFFFFF", INT32_MAX},
        {"80000000", INT32_MAX}, {"FFFFFFFFFFFF", INT32_MAX}, {"-80000000", INT32_MIN},
        {"-80000001", INT32_MIN}, {"- 1", 0}, {"--1", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(HexTextValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(Composer, InitialContents) {
    const ComposerResult r = ComposeChecksum(kInitial);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.checksum, 0xBB);
    EXPECT_EQ(r.checksumText, "BB");
    EXPECT_EQ(r.txText, "A6 01 00 00 00 04 01 18 01 BB ");
    EXPECT_TRUE(r.message.empty());
}

TEST(Composer, LengthByte) {
    const struct { const char* length; bool ok; std::size_t n; } cases[] = {
        {"0A", true, 15}, {"0B", false, 0}, {"100", true, 5}, {"00", true, 5},
        {"-1", false, 0}, {"", true, 5},    {"1G", true, 6},  {"7FFFFFFFF", false, 0},
    };
    for (const auto& c : cases) {
        Texts t = kInitial;
        t[5] = c.length;
        for (std::size_t i = 9; i < kComposerBytes; ++i) t[i] = "1" + std::to_string(i % 10);
        const ComposerResult r = ComposeChecksum(t);
        SCOPED_TRACE(c.length);
        EXPECT_EQ(r.ok, c.ok);
        if (!c.ok) {
            EXPECT_EQ(r.message, " Command Lenght over 10 char");
            EXPECT_TRUE(r.txText.empty());
            EXPECT_TRUE(r.checksumText.empty());
            continue;
        }
        ASSERT_EQ(r.frame.size(), c.n);
        EXPECT_EQ(r.checksum, Checksum(r.frame));  // bytes from n on are left out
        EXPECT_EQ(r.txText.size(), 3 * (c.n + 1));
        EXPECT_EQ(r.txText.back(), ' ');
        EXPECT_EQ(r.txText.substr(3 * c.n), r.checksumText + " ");
    }
}

TEST(Composer, ByteConversions) {
    Texts t = kInitial;
    t[5] = "05";
    t[7] = "1G";  // 01
    t[8] = "";    // 00
    t[9] = "-1";  // FF
    const ComposerResult r = ComposeChecksum(t);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.frame, (Bytes{0xA6, 0x01, 0x00, 0x00, 0x00, 0x05, 0x01, 0x01, 0x00, 0xFF}));
    EXPECT_EQ(r.txText, "A6 01 00 00 00 05 01 01 00 FF " + r.checksumText + " ");
    EXPECT_EQ(r.checksumText, "5D");
}

}  // namespace
}  // namespace dravik::protocol
