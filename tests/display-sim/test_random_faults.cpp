// Random faults: draws that repeat for a seed, odds that are kept, and a drawn fault that
// behaves exactly like the same fault set for good. LAN tests use 127.0.64.x.
#include "display-sim/command_line.h"
#include "display-sim/lan_display.h"
#include "sim_client.h"

#include <gtest/gtest.h>

#include <map>

namespace dravik::sim {
namespace {

using namespace std::chrono_literals;
using testing::Request;

// A mix of sets, queries and identity requests, as a soak sends them.
std::vector<Bytes> Frames(int n) {
    const Bytes kinds[][2] = {{{0x2F}, {}}, {{0x31}, {}}, {{0x18}, {0x02}}, {{0x33}, {}},
                              {{0xA2}, {0x01}}, {{0x37}, {}}, {{0x36}, {1, 2, 3}}, {{0x44}, {9}}};
    std::vector<Bytes> frames;
    for (int i = 0; i < n; ++i) {
        const auto& k = kinds[i % std::size(kinds)];
        frames.push_back(Request(k[0][0], k[1]));
    }
    return frames;
}

DisplayConfig RandomConfig(std::uint64_t seed, std::string stream = "lan 127.0.64.1:5000 1",
                           std::vector<FaultOdds> odds = {}) {
    DisplayConfig c;
    c.random.enabled = true;
    c.random.seed = seed;
    c.random.stream = std::move(stream);
    c.random.odds = std::move(odds);
    return c;
}

std::vector<Fault> Draws(Display& d, const std::vector<Bytes>& frames, Link link = Link::Lan) {
    std::vector<Fault> faults;
    for (const auto& f : frames) faults.push_back(d.respond(f, link).fault);
    return faults;
}

TEST(RandomFaults, SameSeedAndFramesGiveTheSameAnswers) {
    const auto frames = Frames(400);
    struct Case {
        const char* name;
        DisplayConfig other;
        bool same;
    };
    const Case cases[] = {
        {"same seed, same stream", RandomConfig(42), true},
        {"other seed", RandomConfig(43), false},
        {"other stream (another display)", RandomConfig(42, "lan 127.0.64.2:5000 1"), false},
        {"seed 0", RandomConfig(0), false},
    };
    Display reference(RandomConfig(42));
    std::vector<Bytes> replies;
    std::vector<Fault> faults;
    for (const auto& f : frames) {
        Reply r = reference.respond(f, Link::Lan);
        faults.push_back(r.fault);
        replies.push_back(std::move(r.bytes));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Display d(c.other);
        std::vector<Bytes> theirs;
        std::vector<Fault> theirFaults;
        for (const auto& f : frames) {
            Reply r = d.respond(f, Link::Lan);
            theirFaults.push_back(r.fault);
            theirs.push_back(std::move(r.bytes));
        }
        EXPECT_EQ(theirFaults == faults, c.same);
        EXPECT_EQ(theirs == replies, c.same);
    }
    // setConfig starts the draws over.
    reference.setConfig(RandomConfig(42));
    EXPECT_EQ(Draws(reference, frames), faults);
}

TEST(RandomFaults, ADisplaysDrawsDoNotDependOnOtherDisplays) {
    // Two displays on one line: what display 1 draws is the same whether or not display 2
    // is asked in between.
    const auto frames = Frames(200);
    Display alone(RandomConfig(7, "serial 0 0 1"));
    const auto expected = Draws(alone, frames, Link::Serial);

    Display one(RandomConfig(7, "serial 0 0 1")), two(RandomConfig(7, "serial 0 1 2"));
    std::vector<Fault> got;
    for (const auto& f : frames) {
        got.push_back(one.respond(f, Link::Serial).fault);
        two.respond(f, Link::Serial);
        two.respond(f, Link::Serial);
    }
    EXPECT_EQ(got, expected);
}

TEST(RandomFaults, CertainOddsBehaveLikeTheFixedFault) {
    const auto frames = Frames(24);
    for (const Fault fault : {Fault::None, Fault::NeverAnswer, Fault::AnswerLate, Fault::WrongHeader,
                              Fault::ShortReply, Fault::Nack, Fault::Nav, Fault::LongReply, Fault::CloseAtOnce}) {
        for (const Link link : {Link::Lan, Link::Serial}) {
            SCOPED_TRACE(std::string(FaultName(fault)) + (link == Link::Lan ? " lan" : " serial"));
            Display drawn(RandomConfig(99, "s", {{fault, 1, 750}, {Fault::Nack, 0, 0}}));
            DisplayConfig fixedConfig;
            fixedConfig.fault = fault;
            fixedConfig.lateMs = 750;
            Display fixed(fixedConfig);
            for (const auto& f : frames) {
                const Reply a = drawn.respond(f, link);
                const Reply b = fixed.respond(f, link);
                ASSERT_EQ(a.bytes, b.bytes);
                EXPECT_EQ(a.delay, b.delay);
                EXPECT_EQ(a.fault, fault);
                EXPECT_EQ(a.closeConnection, fault == Fault::CloseAtOnce);
            }
            EXPECT_EQ(drawn.state(), fixed.state());
        }
    }
}

TEST(RandomFaults, OddsAreKept) {
    // Weights 0..: PickFault walks the table in order.
    const std::vector<FaultOdds> odds = {{Fault::None, 3, 0}, {Fault::Nack, 0, 0}, {Fault::Nav, 2, 0}};
    const Fault expected[] = {Fault::None, Fault::None, Fault::None, Fault::Nav, Fault::Nav, Fault::None};
    for (std::uint64_t v = 0; v < std::size(expected); ++v) EXPECT_EQ(PickFault(odds, v).fault, expected[v]) << v;

    // Over many frames the shares come close to the weights (and a 0 weight never comes).
    Display d(RandomConfig(5, "x", {{Fault::None, 70, 0}, {Fault::NeverAnswer, 30, 0}, {Fault::Nav, 0, 0}}));
    std::map<Fault, int> count;
    const auto frame = Request(0x2F, {});
    for (int i = 0; i < 20000; ++i) ++count[d.respond(frame, Link::Lan).fault];
    EXPECT_NEAR(count[Fault::None] / 20000.0, 0.70, 0.02);
    EXPECT_NEAR(count[Fault::NeverAnswer] / 20000.0, 0.30, 0.02);
    EXPECT_EQ(count[Fault::Nav], 0);

    // The default odds are mostly good answers and include every fault.
    int total = 0;
    for (const auto& o : DefaultFaultOdds()) total += o.weight;
    EXPECT_EQ(DefaultFaultOdds().front().fault, Fault::None);
    EXPECT_EQ(DefaultFaultOdds().size(), 9u);
    EXPECT_EQ(total, 100);
}

TEST(RandomFaults, CommandLine) {
    struct Case {
        std::vector<std::string> args;
        const char* error;  // nullptr: accepted
    };
    const Case cases[] = {
        {{"--fault", "random", "--lan", "127.0.64.3,LM-55"}, nullptr},
        {{"--seed", "18446744073709551615", "--odds", "well=1,late:20=1,close=1", "--fault", "random",
          "--serial", "LM-55:1,LM-55:2"}, nullptr},
        {{"--seed", "9", "--lan", "127.0.64.3,LM-55@random"}, nullptr},
        {{"--seed", "-1", "--lan", "127.0.64.3,LM-55"}, "--seed wants"},
        {{"--seed", "12x", "--lan", "127.0.64.3,LM-55"}, "--seed wants"},
        {{"--odds", "well=0,never=0", "--lan", "127.0.64.3,LM-55"}, "add up to 0"},
        {{"--odds", "well", "--lan", "127.0.64.3,LM-55"}, "--odds wants"},
        {{"--odds", "sometimes=3", "--lan", "127.0.64.3,LM-55"}, "unknown fault 'sometimes'"},
        {{"--odds", "nack:5=3", "--lan", "127.0.64.3,LM-55"}, "only the fault 'late'"},
        {{"--odds", "random=3", "--lan", "127.0.64.3,LM-55"}, "random is not one of the odds"},
        {{"--odds", "well=1000000,never=1", "--lan", "127.0.64.3,LM-55"}, "more than 1000000"},
        {{"--fault", "random"}, "none follows"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args[1]);
        CommandLine cl;
        std::string error;
        const bool ok = ParseCommandLine(c.args, cl, error);
        if (!c.error) {
            EXPECT_TRUE(ok) << error;
        } else {
            EXPECT_FALSE(ok);
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }

    // Settings carry to the displays after them; each display has a stream of its own.
    CommandLine cl;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(std::vector<std::string>{"--seed", "42", "--odds", "well=9,late:300=1",
                                                          "--fault", "random", "--lan", "127.0.64.4,LM-55,3",
                                                          "--serial", "LM-55:1,KA-55:1", "--fault", "nack",
                                                          "--lan", "127.0.64.5,LM-55"},
                                 cl, error))
        << error;
    ASSERT_EQ(cl.lan.size(), 2u);
    const auto& r = cl.lan[0].display.config.random;
    EXPECT_TRUE(r.enabled);
    EXPECT_EQ(r.seed, 42u);
    ASSERT_EQ(r.odds.size(), 2u);
    EXPECT_EQ(r.odds[1].fault, Fault::AnswerLate);
    EXPECT_EQ(r.odds[1].lateMs, 300);
    EXPECT_EQ(r.stream, "lan 127.0.64.4:5000 3");
    const auto& line = cl.serial.at(0).displays;
    ASSERT_EQ(line.size(), 2u);
    EXPECT_NE(line[0].config.random.stream, line[1].config.random.stream);  // same ID, own draws
    EXPECT_FALSE(cl.lan[1].display.config.random.enabled);                   // a fixed fault ends it
    EXPECT_EQ(cl.lan[1].display.config.fault, Fault::Nack);

    for (const char* word : {"--seed", "--odds", "random", "--version"})
        EXPECT_NE(UsageText().find(word), std::string::npos) << word;
}

TEST(RandomFaults, DrawnCloseEndsTheLanConnection) {
    // Half the frames close the connection instead of answering; the display keeps serving
    // new connections, and the same seed gives the same answers on a second run.
    const auto run = [](const std::string& address) {
        LanDisplay lan(address, RandomConfig(11, "same", {{Fault::None, 1, 0}, {Fault::CloseAtOnce, 1, 0}}));
        std::string error;
        EXPECT_TRUE(lan.start(&error)) << error;
        std::vector<bool> answered;
        for (int i = 0; i < 16; ++i) {
            testing::TcpClient c;
            EXPECT_TRUE(c.connect(address));
            c.send(Request(0x2F, {}));
            const Bytes reply = c.reply(2000ms);
            answered.push_back(!reply.empty());
            if (reply.empty()) {
                EXPECT_TRUE(c.closedByPeer(1000ms));
            }
        }
        return answered;
    };
    const auto first = run("127.0.64.6");
    EXPECT_EQ(run("127.0.64.7"), first);
    EXPECT_NE(std::count(first.begin(), first.end(), true), 0);
    EXPECT_NE(std::count(first.begin(), first.end(), false), 0);
}

}  // namespace
}  // namespace dravik::sim
