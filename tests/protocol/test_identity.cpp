// Identity queries, identity text and the scan's model text.
#include "hex.h"
#include "protocol/identity.h"

#include <gtest/gtest.h>

#include <string>

namespace dravik::protocol {
namespace {

using test::Hex;

// A text reply: 21 01 00 00 len 01 cmd text... checksum.
Bytes TextReply(std::string_view text, Byte command = 0xA2) {
    Bytes b{0x21, 0x01, 0x00, 0x00, static_cast<Byte>(text.size() + 3), 0x01, command};
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(Checksum(b));
    return b;
}

TEST(Identity, Queries) {
    EXPECT_EQ(Hex(BuildIdentityQuery(IdentityForm::A2, 1)), "A6 01 00 00 00 04 01 A2 01 01");
    EXPECT_EQ(Hex(BuildIdentityQuery(IdentityForm::A1, 1)), "A6 01 00 00 00 04 01 A1 00 03");
    EXPECT_EQ(Hex(BuildIdentityQuery(IdentityForm::A2, 17)), "A6 11 00 00 00 04 01 A2 01 11");
}

TEST(Identity, Text) {
    const struct { const char* name; Bytes reply; int limit; bool isText; const char* text; } cases[] = {
        {"plain", TextReply("LM-55"), 4, true, "LM-55"},
        {"A1 answer", TextReply("KA-55Q", 0xA1), 4, true, "KA-55Q"},
        {"trailing blank kept", TextReply("LM-55 "), 4, true, "LM-55 "},
        {"zero bytes add nothing", TextReply(std::string_view("LM\0-55", 6)), 4, true, "LM-55"},
        {"other command", TextReply("LM-55", 0x33), 4, false, ""},
        {"wrong header", test::Parse("20 01 00 00 08 01 A2 4C 4D 00"), 4, false, ""},
        {"length 5 under limit 4", test::Parse("21 01 00 00 05 01 A2 4C 4D 00"), 4, true, "LM"},
        {"length 5 under limit 5", test::Parse("21 01 00 00 05 01 A2 4C 4D 00"), 5, false, ""},
        {"length 0x80 is negative", test::Parse("21 01 00 00 80 01 A2 4C 4D 00"), 4, false, ""},
        {"eight bytes: empty text", test::Parse("21 01 00 00 05 01 A2 4C"), 4, true, ""},
        {"seven bytes", test::Parse("21 01 00 00 05 01 A2"), 4, true, ""},
        {"six bytes", test::Parse("21 01 00 00 05 01"), 4, false, ""},
        {"nothing", Bytes{}, 4, false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsTextReply(c.reply, c.limit), c.isText) << c.name;
        EXPECT_EQ(IdentityText(c.reply, c.limit), c.text) << c.name;
    }
}

TEST(Identity, TagsTrimAndMakerName) {
    for (const char* tag : {"LM", "JSV-Q", "KA-xxQ", "ORV", "ORV_92Q"}) EXPECT_TRUE(IsIdentityTag(tag)) << tag;
    for (const char* other : {"lm", "LM ", "LM-55", "ORV_92", "", "KA-55Q"}) EXPECT_FALSE(IsIdentityTag(other)) << other;

    EXPECT_EQ(TrimTrailingSpace("LM-55 \t\r\n"), "LM-55");
    EXPECT_EQ(TrimTrailingSpace("  LM 55"), "  LM 55");
    EXPECT_EQ(TrimTrailingSpace("   "), "");
    EXPECT_EQ(StripMakerName("ORVANTE LM-55"), "LM-55");
    EXPECT_EQ(StripMakerName("ORVANTE ORVANTE LM-55"), "ORVANTE LM-55");
    EXPECT_EQ(StripMakerName("ORVANTELM-55"), "ORVANTELM-55");
    EXPECT_EQ(StripMakerName("LM-55 ORVANTE "), "LM-55 ORVANTE ");
    EXPECT_EQ(StripMakerName("ORVANTE "), "");
}

TEST(Identity, ProbeModelText) {
    const Bytes none;
    const struct { const char* name; Bytes first; Bytes second; std::optional<std::string> model; bool asksSecond; } cases[] = {
        {"nothing received", none, none, std::nullopt, false},
        {"wrong header", test::Parse("20 01 00 00 05 01 A2 4C 4D 00"), none, std::nullopt, false},
        {"short reply", test::Parse("21 03 00 00 04 01 A2 00 00"), none, "unknow", false},
        {"too short for a length byte", test::Parse("21 03"), none, "unknow", false},
        {"model with trailing blank", TextReply("LM-55 "), none, "LM-55", false},
        {"data reply of another command", TextReply("LM-55", 0x33), none, "", false},
        {"tag, second answers", TextReply("ORV"), TextReply("LM-55 ", 0xA1), "LM-55", true},
        {"tag, second wrong header", TextReply("ORV"), test::Parse("20 01 00 00 08 01 A1 4C 4D 00"), "ORV", true},
        {"tag, second silent", TextReply("LM"), none, "LM", true},
        {"tag, second empty text", TextReply("KA-xxQ"), test::Parse("21 01 00 00 05 01 A1 00"), "", true},
        {"tag with trailing blank is no tag", TextReply("ORV "), none, "ORV", false},
    };
    for (const auto& c : cases) {
        bool asked = false;
        const auto model = ProbeModelText(c.first, [&] {
            asked = true;
            return c.second;
        });
        EXPECT_EQ(model, c.model) << c.name;
        EXPECT_EQ(asked, c.asksSecond) << c.name;
    }
}

TEST(Identity, FormPerModelTable) {
    using P = IdentityModels;
    using F = IdentityForm;
    const struct { P page; const char* model; std::optional<F> form; } cases[] = {
        {P::All, "KA-55", F::A2},    {P::All, "GBW-2201", F::A2}, {P::All, "KC-55D3", F::A2},
        {P::All, "LM-55", F::A1},    {P::All, "KA-43Q", F::A1},   {P::All, "LM-4302", std::nullopt},
        {P::All, "NFB-6502", std::nullopt}, {P::All, "", std::nullopt},
        {P::Wall, "KA-55", F::A2},       {P::Wall, "LX-24", F::A2},       {P::Wall, "KC-55D3", F::A1},
        {P::Wall, "LM-55", F::A1},       {P::Wall, "LM-55A", std::nullopt}, {P::Wall, "GBW-2201", std::nullopt},
        {P::Wall, "SVL-4301", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IdentityFormFor(c.page, c.model), c.form) << (c.page == P::Wall ? "wall " : "all ") << c.model;
}

}  // namespace
}  // namespace dravik::protocol
