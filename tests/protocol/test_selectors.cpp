// Per-model outcomes of the Control page's commands, the status queries and the service frames.
#include "hex.h"
#include "protocol/catalogue.h"
#include "protocol/models.h"
#include "protocol/selectors.h"
#include "protocol/status.h"

#include <gtest/gtest.h>

namespace dravik::protocol {
namespace {

using test::Hex;
using C = Command;
using O = Outcome;

constexpr Command kModelDependent[] = {C::Hdmi1, C::Hdmi2, C::DisplayPort, C::Dvi, C::Vga, C::Usb, C::Cms,
                                       C::Custom, C::Backlight, C::BrightnessQuery, C::BrightnessSet,
                                       C::Volume, C::KeyLock, C::IrLock, C::Reset, C::MediaPlayer, C::Ops};

struct Case {
    Command command;
    const char* model;
    Outcome outcome;
    const char* frame;  // for Outcome::Frame: the whole frame for monitor ID 1
};

void Check(const Case& c, DisplayValues values = {}) {
    const Selection s = Select(c.command, c.model, values);
    SCOPED_TRACE(testing::Message() << "command " << static_cast<int>(c.command) << " model \"" << c.model << '"');
    EXPECT_EQ(s.outcome, c.outcome);
    if (c.outcome == O::Frame) {
        EXPECT_EQ(Hex(s.frame), c.frame);
    } else {
        EXPECT_TRUE(s.frame.empty());
    }
}

TEST(Select, NamedModels) {
    const Case cases[] = {
        {C::Hdmi1, "LM-43", O::Frame, "A6 01 00 00 00 07 01 AC 0D 00 00 00 00"},
        {C::Hdmi1, "KA-55", O::Frame, "A6 01 00 00 00 07 01 AC 09 00 00 00 04"},
        {C::Hdmi1, "LX-24", O::Frame, "A6 01 00 00 00 07 01 AC 22 00 00 00 2F"},
        {C::Dvi, "KA-43Q", O::Refused, ""},
        {C::Dvi, "KA-4301Q", O::Frame, "A6 01 00 00 00 07 01 AC 0E 00 00 00 03"},
        {C::Hdmi1, "KA-4301Q", O::Refused, ""},
        {C::Off, "KA-4301Q", O::Frame, "A6 01 00 00 00 04 01 18 01 BB"},
        {C::Off, "NFB-8603", O::Frame, "A6 01 00 00 00 04 01 A8 00 0A"},
        {C::Off, "NFB-6503", O::Frame, "A6 01 00 00 00 04 01 A8 00 0A"},
        {C::DisplayPort, "NFB-8603", O::Refused, ""},
        {C::DisplayPort, "NFB-9603", O::Frame, "A6 01 00 00 00 07 01 AC 2C 00 00 00 21"},
        {C::Off, "NFB-9603", O::Frame, "A6 01 00 00 00 04 01 18 01 BB"},
        {C::DisplayPort, "KC-46D", O::Frame, "A6 01 00 00 00 07 01 AC 07 00 00 00 0A"},
        {C::DisplayPort, "KA-55", O::Frame, "A6 01 00 00 00 07 01 AC 07 01 00 00 0B"},
        {C::Hdmi2, "GBW-2201", O::Refused, ""},
        {C::Hdmi1, "GBW-2201", O::Silent, ""},
        {C::Custom, "GBW-2201", O::Silent, ""},
        {C::DisplayPort, "LM-65", O::Frame, "A6 01 00 00 00 07 01 AC 0A 00 00 00 07"},
        {C::DisplayPort, "LM-65A", O::Refused, ""},
        {C::Cms, "JSV-4302QH", O::Frame, "A6 01 00 00 00 07 01 AC 11 00 00 00 1C"},
        {C::Custom, "LM-55", O::Frame, "A6 01 00 00 00 07 01 AC 18 00 00 00 15"},
        {C::Usb, "LD-84", O::Frame, "A6 01 00 00 00 07 01 AC 0C 00 00 00 01"},
        {C::Vga, "LX-55", O::Frame, "A6 01 00 00 00 07 01 AC 20 00 00 00 2D"},
        {C::KeyLock, "MS-15G", O::Frame, "A6 01 00 00 00 04 01 1C 07 B9"},
        {C::IrLock, "MS-15G", O::Silent, ""},
        {C::KeyLock, "LD-84", O::Frame, "A6 01 00 00 00 04 01 1C 01 BF"},
        {C::KeyLock, "LM-55", O::Frame, "A6 01 00 00 00 04 01 1A 01 B9"},
        {C::IrLock, "KA-55", O::Frame, "A6 01 00 00 00 04 01 1C 03 BD"},
        {C::IrLock, "YT700WKB", O::Refused, ""},
        {C::Backlight, "KB-43", O::Refused, ""},
        {C::Backlight, "LM-43", O::Silent, ""},
        {C::Backlight, "KA-55", O::Frame, "A6 01 00 00 00 04 01 30 32 A0"},
        {C::Volume, "KA-55", O::Frame, "A6 01 00 00 00 04 01 44 1E F8"},
        {C::Volume, "LM-55", O::Frame, "A6 01 00 00 00 05 01 44 1E 1E E7"},
        {C::BrightnessQuery, "KA-55", O::Frame, "A6 01 00 00 00 03 01 33 96"},
        {C::BrightnessQuery, "SVL-4301", O::Silent, ""},
        {C::BrightnessQuery, "NFB-9603", O::Refused, ""},
        {C::BrightnessSet, "NFB-9603", O::Refused, ""},
        {C::BrightnessSet, "SVL-4301", O::Frame, "A6 01 00 00 00 04 01 C0 32 50"},
        {C::BrightnessSet, "NFB-6502", O::Frame, "A6 01 00 00 00 04 01 68 32 F8"},
        {C::BrightnessSet, "KA-55", O::Frame, "A6 01 00 00 00 08 01 32 32 00 00 00 00 AE"},
        {C::BrightnessSet, "LM-55", O::Frame, "A6 01 00 00 00 0A 01 32 32 00 00 00 00 00 00 AC"},
        {C::Reset, "LX-24", O::Frame, "A6 01 00 00 00 03 01 FE 5B"},
        {C::Reset, "KA-55Q", O::Refused, ""},
        {C::MediaPlayer, "LM-50A", O::Frame, "A6 01 00 00 00 07 01 AC 16 00 00 00 1B"},
        {C::MediaPlayer, "LD-75", O::Refused, ""},
        {C::Ops, "KA-55", O::Frame, "A6 01 00 00 00 07 01 AC 08 00 00 00 05"},
        {C::Ops, "LM-65A", O::Frame, "A6 01 00 00 00 07 01 AC 0B 00 00 00 06"},
        {C::Ops, "LM-55A", O::Refused, ""},
        {C::Ops, "KB-43", O::Silent, ""},
        {C::Info, "", O::Frame, "A6 01 00 00 00 04 01 FD D2 8D"},
        {C::Info, "anything", O::Frame, "A6 01 00 00 00 04 01 FD D2 8D"},
    };
    for (const Case& c : cases) Check(c);
}

TEST(Select, UnlistedNamesAreRefusedButStillPowerOff) {
    for (const char* model : {"lm-43", "LM-43 ", "LM-4", "", "KC55-D3", "ORV"}) {
        DisplayValues v;
        for (Command c : kModelDependent) Check({c, model, O::Refused, ""});
        Check({C::Off, model, O::Frame, "A6 01 00 00 00 04 01 18 01 BB"});
        EXPECT_EQ(v, DisplayValues{});
    }
}

TEST(Select, EvenBrightnessIsStoredBack) {
    DisplayValues v;
    v.brightness = 51;
    EXPECT_EQ(Select(C::BrightnessSet, "LM-4302", v).frame[8], 0x32);
    EXPECT_EQ(v.brightness, 50);
}

// The pre-read lookup and the set lookup are kept as separate tables; they must agree: a
// model is queried first exactly when its set frame is a video-parameters set, skips the
// query when its set frame is 68 or C0, and is refused by both otherwise.
TEST(Select, BrightnessQueryAgreesWithSetForEveryModel) {
    auto check = [](std::string_view model) {
        DisplayValues v;
        const Selection query = Select(C::BrightnessQuery, model, v);
        const Selection set = Select(C::BrightnessSet, model, v);
        SCOPED_TRACE(std::string(model));
        if (set.outcome == O::Refused) {
            EXPECT_EQ(query.outcome, O::Refused);
            return;
        }
        ASSERT_TRUE(set.ok());
        const Byte cmd = set.frame[7];
        if (cmd == kCmdVideoParamsSet) {
            EXPECT_TRUE(query.ok());
            EXPECT_EQ(query.frame, BuildVideoParamsQueryFrame());
        } else {
            EXPECT_TRUE(cmd == kCmdBrightness68 || cmd == kCmdBrightnessC0);
            EXPECT_EQ(query.outcome, O::Silent);
        }
    };
    for (const auto& g : kGroups)
        for (auto model : g.members) check(model);
    check("");
}

TEST(StatusQuery, Kinds) {
    const struct { int kind; const char* model; Outcome outcome; const char* frame; } cases[] = {
        {1, "KA-55Q", O::Frame, "A6 01 00 00 00 03 01 2F 8A"},
        {1, "GBW-2201", O::Refused, ""},
        {1, "ZRF-3201", O::Frame, "A6 01 00 00 00 03 01 2F 8A"},
        {2, "GBW-2201", O::Frame, "A6 01 00 00 00 04 01 0F 02 AF"},
        {2, "KA-55Q", O::Refused, ""},
        {2, "ZRF-3201", O::Refused, ""},
        {3, "KB-43", O::Frame, "A6 01 00 00 00 03 01 31 94"},
        {3, "LM-55", O::Frame, "A6 01 00 00 00 03 01 33 96"},
        {3, "LD-98", O::Frame, "A6 01 00 00 00 03 01 33 96"},
        {3, "KC-46D", O::Refused, ""},
        {3, "KA-55Q", O::Refused, ""},
        {0, "KA-55", O::Silent, ""},
        {4, "KA-55", O::Silent, ""},
        {-1, "KA-55", O::Silent, ""},
        {1, "", O::Refused, ""},
    };
    for (const auto& c : cases) {
        const Selection s = BuildStatusQuery(c.kind, c.model);
        EXPECT_EQ(s.outcome, c.outcome) << c.kind << ' ' << c.model;
        if (c.outcome == O::Frame) {
            EXPECT_EQ(Hex(s.frame), c.frame) << c.kind << ' ' << c.model;
        }
    }
    EXPECT_EQ(BuildVideoParamsQuery("KB-3202").outcome, O::Frame);
    EXPECT_EQ(BuildVideoParamsQuery("NFB-8603").outcome, O::Silent);
    EXPECT_EQ(BuildVideoParamsQuery("JSV-4302QH").outcome, O::Refused);
}

TEST(Select, RefusalText) {
    EXPECT_EQ(RefusalText("LX-24"), "LX-24 No This Function or unsupported !\r\n");
    EXPECT_EQ(RefusalText(""), " No This Function or unsupported !\r\n");
}

}  // namespace
}  // namespace dravik::protocol
