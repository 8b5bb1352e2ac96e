// DecodeReply: layouts, signedness, status texts and replies cut short.
#include "hex.h"
#include "protocol/decode.h"

#include <gtest/gtest.h>

namespace dravik::protocol {
namespace {

struct Case {
    const char* name;
    const char* model;
    const char* reply;
    bool result;
    bool refresh;
    const char* message;
    void (*expect)(DisplayValues&);  // applied to the starting values: what the reply changes
};

void Nothing(DisplayValues&) {}

DisplayValues Start() {
    DisplayValues v;
    v.video = {11, 12, 13, 14, 15, 16};  // so that "kept" and "stored 0" differ
    v.temperature = 21;
    v.hours = 7;
    return v;
}

TEST(DecodeReply, Cases) {
    const Case cases[] = {
        {"nothing received", "LM-55", "", false, false, "", Nothing},
        {"temperature, data reply, signed", "KA-55", "21 01 00 00 05 01 2F F6 00", true, true, "",
         [](DisplayValues& v) { v.temperature = -10; }},
        {"temperature, short reply", "KA-55", "21 01 00 00 04 01 2F 19 00", true, true, "",
         [](DisplayValues& v) { v.temperature = 25; }},
        {"hours", "KA-55", "21 01 00 00 06 01 0F 01 2C 00", true, true, "", [](DisplayValues& v) { v.hours = 300; }},
        {"hours bytes unsigned", "KA-55", "21 01 00 00 06 01 0F FF FF 00", true, true, "",
         [](DisplayValues& v) { v.hours = 65535; }},
        {"backlight, data reply, signed", "KA-55", "21 01 00 00 05 01 31 80 00", true, true, "",
         [](DisplayValues& v) { v.backlight = -128; }},
        {"backlight, short reply", "KA-55", "21 01 00 00 04 01 31 40 00", true, true, "",
         [](DisplayValues& v) { v.backlight = 64; }},
        {"other data command ignored", "KA-55", "21 01 00 00 06 01 44 10 20 00", false, false, "", Nothing},
        {"identity data ignored", "KA-55", "21 01 00 00 06 01 A2 4B 41 00", false, false, "", Nothing},
        {"status executed", "KA-55", "21 01 00 00 04 01 18 01 00", false, false, "executed", Nothing},
        {"status NACK", "KA-55", "21 01 00 00 04 01 18 03 00", false, false, "NACK", Nothing},
        {"status NAV", "KA-55", "21 01 00 00 04 01 18 04 00", false, false, "NAV", Nothing},
        {"status 0", "KA-55", "21 01 00 00 04 01 18 00 00", true, false, "", Nothing},
        {"status 2", "KA-55", "21 01 00 00 04 01 18 02 00", true, false, "", Nothing},
        {"wrong header", "KA-55", "20 01 00 00 05 01 2F 10 00", false, false, "", Nothing},
        {"length 3", "KA-55", "21 01 00 00 03 01 2F 10 00", false, false, "", Nothing},
        {"length 0x80 is negative", "KA-55", "21 01 00 00 80 01 2F 10 00", false, false, "", Nothing},
        {"length 0xFF is negative", "KA-55", "21 01 00 00 FF 01 04 04 00", false, false, "", Nothing},
        {"LM-55 clamps", "LM-55", "21 01 00 00 0A 01 33 32 01 02 19 3C 05 09 00", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 10, 50, 5, 1}; }},
        {"LM-55 limits are inclusive", "LM-55", "21 01 00 00 0A 01 33 32 01 02 14 32 05 05 00", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 20, 50, 5, 5}; }},
        {"LM-55 negative bytes not clamped", "LM-55", "21 01 00 00 0A 01 33 32 FF FE 90 90 80 F0 00", true, true, "",
         [](DisplayValues& v) { v.video = {-1, -2, -112, -112, -128, -16}; }},
        {"JSV six unclamped", "JSV-4301Q", "21 01 00 00 0A 01 33 32 01 02 19 3C 05 09 00", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 25, 60, 5, 9}; }},
        {"KB-3202 six unclamped", "KB-3202", "21 01 00 00 0A 01 33 32 01 02 19 3C 05 09 00", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 25, 60, 5, 9}; }},
        {"KC-46D parameter 4 is 72", "KC-46D", "21 01 00 00 0A 01 33 32 01 02 03 04 05 06 00", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 72, 4, 15, 16}; }},
        {"other models read four", "KA-55", "21 01 00 00 0A 01 33 32 01 02 03 04 05 06 00", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 3, 4, 15, 16}; }},
        {"unlisted model reads four", "", "21 01 00 00 0A 01 33 32 81 02 03 04 05 06 00", true, true, "",
         [](DisplayValues& v) { v.video = {-127, 2, 3, 4, 15, 16}; }},
        // Cut short: a field whose bytes did not arrive keeps its value.
        {"header only", "KA-55", "21 01 00 00 05 01", false, false, "", Nothing},
        {"temperature byte missing", "KA-55", "21 01 00 00 05 01 2F", false, false, "", Nothing},
        {"short temperature byte missing", "KA-55", "21 01 00 00 04 01 2F", false, false, "", Nothing},
        {"short status byte missing", "KA-55", "21 01 00 00 04 01 18", false, false, "", Nothing},
        {"hours low byte missing", "KA-55", "21 01 00 00 06 01 0F 01", false, false, "", Nothing},
        {"video params: brightness only", "LM-55", "21 01 00 00 0A 01 33 32", false, false, "", Nothing},
        {"LM-55 cut after byte 10", "LM-55", "21 01 00 00 0A 01 33 32 01 02 19", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 10, 14, 15, 16}; }},
        {"LM-55 cut after byte 12", "LM-55", "21 01 00 00 0A 01 33 32 01 02 03 3C 05", true, true, "",
         [](DisplayValues& v) { v.video = {1, 2, 3, 50, 5, 16}; }},
        {"KC-46D cut after byte 8", "KC-46D", "21 01 00 00 0A 01 33 32 01", true, true, "",
         [](DisplayValues& v) { v.video = {1, 12, 72, 14, 15, 16}; }},
        {"KC-46D brightness only", "KC-46D", "21 01 00 00 0A 01 33 32", false, false, "", Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes reply = test::Parse(c.reply);
        DisplayValues values = Start();
        DisplayValues expected = Start();
        c.expect(expected);
        const DecodeResult r = DecodeReply(reply, c.model, values);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.refresh, c.refresh);
        EXPECT_EQ(r.messageLine, c.message);
        EXPECT_EQ(values, expected);
    }
}

}  // namespace
}  // namespace dravik::protocol
