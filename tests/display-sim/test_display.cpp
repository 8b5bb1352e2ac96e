// The display's behaviour without any transport: what each frame does and what comes back.
#include "display-sim/display.h"
#include "sim_client.h"

#include <functional>
#include <gtest/gtest.h>

namespace dravik::sim {
namespace {

using testing::Hex;
using testing::Request;

std::string Text(const Bytes& reply) {  // bytes 7 .. n-2, zero bytes skipped
    std::string s;
    for (std::size_t i = 7; i + 1 < reply.size(); ++i)
        if (reply[i] != 0) s.push_back(static_cast<char>(reply[i]));
    return s;
}

bool ChecksumRight(const Bytes& r) {
    return !r.empty() && protocol::Checksum(std::span<const Byte>(r.data(), r.size() - 1)) == r.back();
}

struct SetCase {
    const char* name;
    Byte command;
    Bytes data;
    std::function<void(DisplayState&)> expect;  // the change to a default state
};

TEST(Display, SetCommandsChangeOnlyTheirFieldAndAreAcknowledged) {
    const SetCase cases[] = {
        {"power off", 0x18, {0x01}, [](DisplayState& s) { s.powerOn = false; }},
        {"alternative power off", 0xA8, {0x00}, [](DisplayState& s) { s.powerOn = false; }},
        {"input DVI 09 01", 0xAC, {0x09, 0x01, 0x00, 0x00},
         [](DisplayState& s) { s.inputSource = 0x09; s.inputSubCode = 0x01; }},
        {"backlight 300 -> 2C", 0x30, {0x2C}, [](DisplayState& s) { s.backlight = 0x2C; }},
        {"video set, seven data", 0x32, {0x33, 1, 2, 3, 4, 5, 6},
         [](DisplayState& s) { s.video = {0x33, 1, 2, 3, 4, 5, 6}; }},
        {"video set, five data keeps 6 and 7", 0x32, {0x33, 1, 2, 3, 4},
         [](DisplayState& s) { s.video = {0x33, 1, 2, 3, 4, 0, 1}; }},
        {"brightness 68", 0x68, {0x40}, [](DisplayState& s) { s.video[0] = 0x40; }},
        {"brightness C0", 0xC0, {0xFF}, [](DisplayState& s) { s.video[0] = 0xFF; }},
        {"volume, two bytes", 0x44, {0x1F, 0x1F}, [](DisplayState& s) { s.volume = 0x1F; }},
        {"key lock", 0x1A, {0x02}, [](DisplayState& s) { s.keyLock = 0x02; }},
        {"lock bits", 0x1C, {0x03}, [](DisplayState& s) { s.irLock = 0x03; }},
        {"IR key INFO", 0xFD, {0xD2}, [](DisplayState& s) { s.lastIrKey = 0xD2; s.irKeyCount = 1; }},
        {"wall settings", 0x22, {0x01, 0x01, 0x03, 0x12}, [](DisplayState& s) { s.wall = {1, 1, 3, 0x12}; }},
        {"gains, long form", 0x36, {0xFF, 0x00, 0x80, 0x80, 0x80, 0x80},
         [](DisplayState& s) { s.gains = {0xFF, 0x00, 0x80}; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Display d;
        DisplayState expected = d.state();
        c.expect(expected);
        const Reply r = d.respond(Request(c.command, c.data), Link::Lan);
        EXPECT_EQ(r.bytes, ShortReplyFrame(1, c.command, kStatusExecuted));
        EXPECT_EQ(d.state(), expected);
    }
}

TEST(Display, RefusesMalformedAndUnknownCommandsWithoutChangingState) {
    const struct {
        const char* name;
        Bytes request;
        Byte status;
    } cases[] = {
        {"power without data", Request(0x18, {}), kStatusNack},
        {"power with an unknown value", Request(0x18, {0x05}), kStatusNack},
        {"wall settings short of data", Request(0x22, {0x01, 0x02}), kStatusNack},
        {"gains short of data", Request(0x36, {0x10, 0x20}), kStatusNack},
        {"unknown command", Request(0x99, {0x01}), kStatusNav},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Display d;
        const DisplayState before = d.state();
        const Reply r = d.respond(c.request, Link::Lan);
        EXPECT_EQ(r.bytes, ShortReplyFrame(1, c.request[7], c.status));
        EXPECT_EQ(d.state(), before);
    }
    EXPECT_EQ(ShortReplyFrame(1, 0x99, kStatusNav), Hex("21 01 00 00 04 01 99 04 B8"));
}

TEST(Display, QueriesAnswerWithDataReplies) {
    const struct {
        const char* name;
        Bytes request;
        std::function<void(Display&)> setup;
        const char* reply;
    } cases[] = {
        {"temperature", Hex("A6 01 00 00 00 03 01 2F 8A"), [](Display&) {}, "21 01 00 00 05 01 2F 20 00 2B"},
        {"temperature below zero", Request(0x2F, {}), [](Display& d) { d.setTemperature(-10); },
         "21 01 00 00 05 01 2F F6 00 FD"},
        {"operating hours", Request(0x0F, {0x02}), [](Display& d) { d.setHours(300); },
         "21 01 00 00 05 01 0F 01 2C 06"},
        {"backlight", Request(0x31, {}), [](Display&) {}, "21 01 00 00 05 01 31 32 00 27"},
        {"video parameters, brightness first", Request(0x33, {}), [](Display&) {},
         "21 01 00 00 0A 01 33 32 32 32 0A 32 00 01 13"},
        {"gains", Request(0x37, {}),
         [](Display& d) { d.respond(Request(0x36, {100, 50, 10}), Link::Lan); },
         "21 01 00 00 06 01 37 64 32 0A 4C"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Display d;
        c.setup(d);
        EXPECT_EQ(protocol::HexSpaced(d.respond(c.request, Link::Lan).bytes), std::string(c.reply) + " ");
    }
}

TEST(Display, RepliesCarryTheDisplaysOwnId) {
    DisplayConfig config;
    config.monitorId = 2;
    Display d(config);
    d.setFault(Fault::ShortReply);
    d.setTemperature(-10);
    EXPECT_EQ(d.respond(Request(0x2F, {}, 7), Link::Lan).bytes, Hex("21 02 00 00 04 01 2F F6 FF"));
}

TEST(Display, ResetRestoresLevelsAndKeepsReadings) {
    Display d;
    d.respond(Request(0x30, {0x05}), Link::Lan);
    d.respond(Request(0x36, {1, 2, 3}), Link::Lan);
    d.setTemperature(41);
    EXPECT_EQ(d.respond(Request(0xFE, {}), Link::Lan).bytes, ShortReplyFrame(1, 0xFE, kStatusExecuted));
    const DisplayState s = d.state();
    EXPECT_EQ(s.backlight, DisplayState{}.backlight);
    EXPECT_EQ(s.gains, DisplayState{}.gains);
    EXPECT_EQ(s.temperature, 41);
    EXPECT_EQ(s.resetCount, 1);
}

TEST(Display, IdentityAnswersByFormTagAndPrefix) {
    const struct {
        const char* model;
        IdentityStyle style;
        bool prefix;
        const char* tag;
        const char* a2Text;  // answer to A2 01
        const char* a1Text;  // answer to A1 00
    } cases[] = {
        {"LM-55", IdentityStyle::Auto, false, "", "LM", "LM-55"},
        {"JSV-5501Q", IdentityStyle::Auto, false, "", "JSV-Q", "JSV-5501Q"},
        {"KA-55Q", IdentityStyle::Auto, false, "", "KA-xxQ", "KA-55Q"},
        {"KA-55", IdentityStyle::Auto, false, "", "KA-55", "KA-55"},
        {"KC-46D", IdentityStyle::Auto, true, "", "ORVANTE KC-46D", "ORVANTE KC-46D"},
        {"LM-55", IdentityStyle::Auto, true, "", "LM", "ORVANTE LM-55"},
        {"LM-55", IdentityStyle::A2, false, "", "LM-55", "LM-55"},
        {"KB-43", IdentityStyle::A1, false, "", "ORV", "KB-43"},
        {"LM-65", IdentityStyle::A1, false, "ORV_92Q", "ORV_92Q", "LM-65"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + (c.prefix ? " with prefix" : ""));
        DisplayConfig config;
        config.model = c.model;
        config.identity = c.style;
        config.makerPrefix = c.prefix;
        config.familyTag = c.tag;
        Display d(config);
        const Bytes a2 = d.respond(Request(0xA2, {0x01}), Link::Serial).bytes;
        const Bytes a1 = d.respond(Request(0xA1, {0x00}), Link::Serial).bytes;
        ASSERT_GT(a2.size(), 8u);
        EXPECT_EQ(a2[6], 0xA2);
        EXPECT_GT(a2[4], 4);
        EXPECT_EQ(a2[4], a2.size() - 5);
        EXPECT_TRUE(ChecksumRight(a2));
        EXPECT_EQ(Text(a2), c.a2Text);
        EXPECT_EQ(a1[6], 0xA1);
        EXPECT_EQ(Text(a1), c.a1Text);
    }
}

TEST(Display, FaultsShapeTheReply) {
    const Bytes temperature = Request(0x2F, {});
    const Bytes backlightSet = Request(0x30, {0x10});
    const struct {
        const char* name;
        Fault fault;
        Link link;
        Bytes request;
        bool applied;  // whether a set frame changes the state
        std::function<void(const Reply&)> check;
    } cases[] = {
        {"never answers", Fault::NeverAnswer, Link::Lan, backlightSet, true,
         [](const Reply& r) { EXPECT_TRUE(r.bytes.empty()); }},
        {"late", Fault::AnswerLate, Link::Lan, temperature, true,
         [](const Reply& r) {
             EXPECT_EQ(r.delay, std::chrono::milliseconds(250));
             EXPECT_EQ(r.bytes, Hex("21 01 00 00 05 01 2F 20 00 2B"));
         }},
        {"wrong header", Fault::WrongHeader, Link::Lan, temperature, true,
         [](const Reply& r) {
             EXPECT_EQ(r.bytes[0], 0x12);
             EXPECT_EQ(r.bytes[7], 0x20);
             EXPECT_TRUE(ChecksumRight(r.bytes));
         }},
        {"short reply for data", Fault::ShortReply, Link::Lan, temperature, true,
         [](const Reply& r) { EXPECT_EQ(r.bytes, ShortReplyFrame(1, 0x2F, 0x20)); }},
        {"short reply leaves acknowledges alone", Fault::ShortReply, Link::Lan, backlightSet, true,
         [](const Reply& r) { EXPECT_EQ(r.bytes, ShortReplyFrame(1, 0x30, kStatusExecuted)); }},
        {"nack", Fault::Nack, Link::Lan, backlightSet, false,
         [](const Reply& r) { EXPECT_EQ(r.bytes, ShortReplyFrame(1, 0x30, kStatusNack)); }},
        {"nav", Fault::Nav, Link::Serial, temperature, false,
         [](const Reply& r) { EXPECT_EQ(r.bytes, ShortReplyFrame(1, 0x2F, kStatusNav)); }},
        {"long over LAN", Fault::LongReply, Link::Lan, temperature, true,
         [](const Reply& r) {
             EXPECT_GT(r.bytes.size(), kLanReplyLimit);
             EXPECT_EQ(r.bytes[4], r.bytes.size() - 5);
             EXPECT_EQ(r.bytes[7], 0x20);
             EXPECT_TRUE(ChecksumRight(r.bytes));
         }},
        {"long over serial", Fault::LongReply, Link::Serial, backlightSet, true,
         [](const Reply& r) {
             EXPECT_GT(r.bytes.size(), kSerialReplyLimit);
             EXPECT_LT(r.bytes[4], 0x80);  // still a positive length byte
             EXPECT_EQ(r.bytes[4], r.bytes.size() - 5);
             EXPECT_TRUE(ChecksumRight(r.bytes));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Display d;
        d.setFault(c.fault, 250);
        c.check(d.respond(c.request, c.link));
        if (c.request == backlightSet) {
            EXPECT_EQ(d.state().backlight == 0x10, c.applied);
        }
    }
}

}  // namespace
}  // namespace dravik::sim
