// The wall page's colour gains on scripted links: what each reply does to the gains, what the
// page is told (LINK marks, boxes) and how long the exchange waits, over LAN and RS-232.
#include "flows/wall_commands.h"
#include "ui/texts.h"

#include "transport/memory_link.h"
#include "support/frames.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace dravik::flows {
namespace {

using protocol::Byte;
using protocol::Bytes;
using transport::MemoryFault;
using transport::MemoryLink;
using transport::Millis;

const char* const kAddress = "127.0.81.20";
constexpr int kId = 3;
using dravik::testing::Sealed;

const Bytes kGains = Sealed({0x21, kId, 0, 0, 6, 1, 0x37, 100, 50, 10, 0});
const Bytes kAck = Sealed({0x21, kId, 0, 0, 4, 1, 0x37, 0x00, 0});
const Bytes kNack = Sealed({0x21, kId, 0, 0, 4, 1, 0x37, 0x03, 0});
const Bytes kOtherCommand = Sealed({0x21, kId, 0, 0, 6, 1, 0x33, 100, 50, 10, 0});

struct Seen final : WallObserver {
    std::vector<std::string> messages;
    std::vector<bool> marks;
    std::optional<std::array<int, 3>> gains;
    int replies = 0;
    void notice(const Notice& notice) override { messages.push_back(ui::NoticeText(notice).toStdString()); }
    void linkMarked(int, bool up) override { marks.push_back(up); }
    void gainReplyTaken(std::span<const Byte>, const std::optional<std::array<int, 3>>& g) override {
        ++replies;
        gains = g;
    }
};

TEST(WallGainFlow, EachReplyOverEachInterface) {
    struct Case {
        const char* name;
        bool lan;
        std::optional<Bytes> reply;  // none: the peer never answers
        MemoryFault fault;
        Outcome outcome;
        bool gainsSet;
        std::vector<bool> marks;
        std::vector<std::string> messages;
        Millis waited;  // virtual time the exchange took
    };
    const std::string noData = " no receive Data from ID: 3 Monitor";
    const Case cases[] = {
        // LAN: one receive right after the request, at most 3.5 s.
        {"LAN gains", true, kGains, MemoryFault::None, Outcome::Replied, true, {true}, {}, Millis{0}},
        {"LAN acknowledge", true, kAck, MemoryFault::None, Outcome::ShortReply, false, {true}, {}, Millis{0}},
        {"LAN nack", true, kNack, MemoryFault::None, Outcome::Nack, false, {true}, {}, Millis{0}},
        {"LAN other command", true, kOtherCommand, MemoryFault::None, Outcome::ShortReply, false, {true}, {}, Millis{0}},
        {"LAN silent", true, std::nullopt, MemoryFault::None, Outcome::NoReply, false, {true}, {}, Millis{3500}},
        {"LAN refused", true, kGains, MemoryFault::ConnectRefused, Outcome::ConnectRefused, false, {false}, {}, Millis{0}},
        // RS-232: drain (150 ms when nothing waits), write, 1000 ms, read; 150 + 500 + 150 more.
        {"RS-232 gains", false, kGains, MemoryFault::None, Outcome::Replied, true, {}, {}, Millis{1150}},
        {"RS-232 silent", false, std::nullopt, MemoryFault::None, Outcome::NoReply, false, {}, {noData}, Millis{1950}},
        {"RS-232 nack", false, kNack, MemoryFault::None, Outcome::Nack, false, {}, {}, Millis{1150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink link(c.lan ? MemoryLink::Style::Lan : MemoryLink::Style::Serial);
        const MemoryLink::Responder respond = [&c](std::span<const Byte>) { return c.reply.value_or(Bytes{}); };
        if (c.lan) {
            link.setPeer(kAddress, respond);
            link.queueFaults(kAddress, {c.fault});
        } else {
            link.setPeer(kId, respond);
        }
        WallRequest req;
        req.command = WallCommand::GetGains;
        req.lan = c.lan;
        targets::Target t;
        t.interface = c.lan ? targets::Interface::Lan : targets::Interface::Serial;
        t.address = c.lan ? kAddress : "";
        t.id = std::to_string(kId);
        t.model = "KA-55";
        req.targets = {t};
        req.selected = 0;
        Seen seen;
        const WallRun run = RunWallFlow(req, {&link, &link}, seen);
        ASSERT_EQ(run.rows.size(), 1u);
        EXPECT_EQ(run.rows[0].outcome, c.outcome) << OutcomeName(run.rows[0].outcome);
        EXPECT_EQ(run.rows[0].value.gains.has_value(), c.gainsSet);
        EXPECT_EQ(seen.gains.has_value(), c.gainsSet);
        if (c.gainsSet) {
            EXPECT_EQ(*seen.gains, (std::array<int, 3>{100, 50, 10}));
        }
        EXPECT_EQ(seen.marks, c.marks);
        EXPECT_EQ(seen.messages, c.messages);
        EXPECT_EQ(link.clock().now(), c.waited);
        // The request goes out only once connected.
        const std::size_t frames = c.fault == MemoryFault::ConnectRefused ? 0 : 1;
        ASSERT_EQ(link.sent().size(), frames);
        if (frames) {
            EXPECT_EQ(protocol::HexSpaced(link.sent()[0].frame), "A6 03 00 00 00 03 01 37 90 ");
        }
    }
}

}  // namespace
}  // namespace dravik::flows
