// What reply bytes are, and the waits each exchange is written with.
#include "flows/reply_rules.h"

#include "protocol/frame.h"
#include "support/frames.h"

#include <gtest/gtest.h>

namespace dravik::flows {
namespace {

using protocol::Bytes;
using dravik::testing::Sealed;

TEST(ClassifyReply, EachKindOfReply) {
    struct Case {
        const char* name;
        Bytes reply;
        Outcome outcome;
    };
    const Case cases[] = {
        {"nothing", {}, Outcome::NoReply},
        {"request header", Sealed({0xA6, 1, 0, 0, 4, 1, 0x18, 0x02, 0}), Outcome::WrongHeader},
        {"garbage", {0x00, 0xFF}, Outcome::WrongHeader},
        {"header only", {0x21}, Outcome::ShortReply},
        {"cut before length", {0x21, 1, 0, 0}, Outcome::ShortReply},
        {"cut before checksum", {0x21, 1, 0, 0, 4, 1, 0x18, 0x00}, Outcome::ShortReply},
        {"length below a frame", Sealed({0x21, 1, 0, 0, 2, 1, 0}), Outcome::ShortReply},
        {"bad checksum", {0x21, 1, 0, 0, 4, 1, 0x18, 0x00, 0x77}, Outcome::BadChecksum},
        {"acknowledge", Sealed({0x21, 1, 0, 0, 4, 1, 0x18, 0x00, 0}), Outcome::Replied},
        {"executed", Sealed({0x21, 1, 0, 0, 4, 1, 0x18, 0x01, 0}), Outcome::Replied},
        {"nack", Sealed({0x21, 1, 0, 0, 4, 1, 0x18, 0x03, 0}), Outcome::Nack},
        {"nav", Sealed({0x21, 1, 0, 0, 4, 1, 0x2F, 0x04, 0}), Outcome::Nav},
        {"temperature data", Sealed({0x21, 1, 0, 0, 5, 1, 0x2F, 32, 0, 0}), Outcome::Replied},
        // A data reply whose value happens to be 3 is no NACK.
        {"data byte 3", Sealed({0x21, 1, 0, 0, 5, 1, 0x2F, 3, 0, 0}), Outcome::Replied},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(rules::ClassifyReply(c.reply), c.outcome) << c.name;
    }
    // Bytes after the announced length (a second reply, noise) do not spoil the first.
    Bytes longer = Sealed({0x21, 1, 0, 0, 4, 1, 0x18, 0x00, 0});
    longer.insert(longer.end(), {0xDE, 0xAD});
    EXPECT_EQ(rules::ClassifyReply(longer), Outcome::Replied);
}

TEST(ReplyRules, TheWaitsOfEachExchange) {
    using transport::Millis;
    struct Case {
        const char* name;
        transport::ReplyRule rule;
        Millis preWrite, pause, timeout, retry;
        int limit;
        bool drain;
    };
    const Case cases[] = {
        {"LAN send", rules::LanSend(), Millis{0}, Millis{250}, Millis{0}, Millis{0}, 32, true},
        {"LAN send, acknowledge", rules::LanSend(true), Millis{0}, Millis{250}, Millis{3500}, Millis{0}, 32, true},
        {"LAN query", rules::LanQuery(), Millis{0}, Millis{0}, Millis{3500}, Millis{0}, 32, true},
        {"LAN pre-read", rules::LanReadThenSetQuery(), Millis{0}, Millis{300}, Millis{3500}, Millis{0}, 32, true},
        {"LAN set", rules::LanReadThenSetSet(), Millis{0}, Millis{0}, Millis{3500}, Millis{0}, 32, true},
        {"LAN wall", rules::LanWall(), Millis{0}, Millis{100}, Millis{3500}, Millis{0}, 32, true},
        {"RS-232 send", rules::SerialSend(), Millis{0}, Millis{450}, Millis{150}, Millis{0}, 128, true},
        {"RS-232 query", rules::SerialQuery(), Millis{0}, Millis{800}, Millis{150}, Millis{500}, 128, true},
        {"RS-232 pre-read", rules::SerialReadThenSetQuery(), Millis{200}, Millis{1200}, Millis{150}, Millis{1000}, 128, true},
        {"RS-232 set", rules::SerialReadThenSetSet(), Millis{200}, Millis{450}, Millis{150}, Millis{0}, 128, true},
        {"RS-232 wall", rules::SerialWall(), Millis{0}, Millis{0}, Millis{0}, Millis{0}, 128, false},
        {"LAN gain read", rules::LanGainRead(), Millis{0}, Millis{0}, Millis{3500}, Millis{0}, 32, true},
        {"LAN gain set", rules::LanGainSet(), Millis{0}, Millis{0}, Millis{0}, Millis{0}, 32, true},
        {"RS-232 gain read", rules::SerialGainRead(), Millis{0}, Millis{1000}, Millis{150}, Millis{500}, 128, true},
        {"RS-232 gain set", rules::SerialGainSet(), Millis{0}, Millis{0}, Millis{0}, Millis{0}, 128, false},
        {"RS-232 identity", rules::SerialIdentity(), Millis{0}, Millis{500}, Millis{150}, Millis{200}, 128, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.rule.preWrite, c.preWrite);
        EXPECT_EQ(c.rule.pause, c.pause);
        EXPECT_EQ(c.rule.timeout, c.timeout);
        EXPECT_EQ(c.rule.retry, c.retry);
        EXPECT_EQ(c.rule.limit, c.limit);
        EXPECT_EQ(c.rule.drainFirst, c.drain);
        // Every RS-232 drain reads as any RS-232 read does: once more after 150 ms.
        EXPECT_EQ(c.rule.drainWait, c.limit == 128 && c.drain ? Millis{150} : Millis{0});
    }
}

TEST(Outcomes, NamesAreStableAndRoundTrip) {
    for (int i = 0; i <= static_cast<int>(Outcome::RefusedForModel); ++i) {
        const auto o = static_cast<Outcome>(i);
        Outcome back{};
        ASSERT_TRUE(OutcomeFromName(OutcomeName(o), back)) << i;
        EXPECT_EQ(back, o);
    }
    EXPECT_EQ(OutcomeName(Outcome::ConnectRefused), "connect-refused");
    EXPECT_TRUE(Succeeded(Outcome::Replied));
    EXPECT_FALSE(Succeeded(Outcome::Nack));
    EXPECT_TRUE(Unreachable(Outcome::PortClosed));
    EXPECT_FALSE(Unreachable(Outcome::NoReply));
}

}  // namespace
}  // namespace dravik::flows
