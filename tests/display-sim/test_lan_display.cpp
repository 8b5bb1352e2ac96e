// A simulated display on loopback, driven the way the tool drives it. Each test has its
// own address (127.0.3.x, port 5000) so that tests run in parallel.
#include "display-sim/lan_display.h"
#include "sim_client.h"
#include "protocol/reply.h"

#include <functional>
#include <gtest/gtest.h>

namespace dravik::sim {
namespace {

using namespace std::chrono_literals;
using testing::Exchange;
using testing::Hex;
using testing::Request;
using testing::TcpClient;

// How long a test waits to be sure that nothing comes back.
constexpr auto kQuiet = 300ms;

std::unique_ptr<LanDisplay> Start(const std::string& address, DisplayConfig config = {}) {
    auto d = std::make_unique<LanDisplay>(address, config);
    std::string error;
    EXPECT_TRUE(d->start(&error)) << error;
    return d;
}

TEST(LanDisplay, AnswersTemperatureQueryAndLogsTheFrame) {
    auto d = Start("127.0.3.1");
    d->setTemperature(-10);
    EXPECT_EQ(Exchange("127.0.3.1", Hex("A6 01 00 00 00 03 01 2F 8A")), Hex("21 01 00 00 05 01 2F F6 00 FD"));

    const auto log = d->log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].where, "127.0.3.1:5000");
    EXPECT_EQ(log[0].hex, "A6 01 00 00 00 03 01 2F 8A ");
    EXPECT_EQ(log[0].addressedId, 1);
    EXPECT_TRUE(log[0].checksumOk);
    EXPECT_TRUE(log[0].answered);
    EXPECT_NE(FormatLogEntry(log[0]).find("A6 01 00 00 00 03 01 2F 8A"), std::string::npos);
    d->clearLog();
    EXPECT_TRUE(d->log().empty());
}

TEST(LanDisplay, QueryThenSetOnOneConnection) {
    auto d = Start("127.0.3.2");
    TcpClient c;
    ASSERT_TRUE(c.connect("127.0.3.2"));
    // The brightness write: the video-parameters query, then the set frame, back to back.
    Bytes both = Request(0x33, {});
    const Bytes set = Request(0x32, {0x46, 0x32, 0x32, 0x0A, 0x32, 0x00, 0x01});
    both.insert(both.end(), set.begin(), set.end());
    ASSERT_TRUE(c.send(both));
    const Bytes params = c.reply();
    ASSERT_EQ(params.size(), 15u);
    EXPECT_EQ(params[6], 0x33);
    EXPECT_EQ(c.reply(), ShortReplyFrame(1, 0x32, kStatusExecuted));
    EXPECT_EQ(d->state().brightness(), 0x46);
    ASSERT_EQ(d->log().size(), 2u);
    EXPECT_EQ(d->log()[1].bytes, set);
}

TEST(LanDisplay, AnswersAnyIdUnlessStrict) {
    DisplayConfig config;
    config.monitorId = 3;
    auto d = Start("127.0.3.3", config);
    const Bytes reply = Exchange("127.0.3.3", Request(0x2F, {}, 7));
    ASSERT_GE(reply.size(), 8u);
    EXPECT_EQ(protocol::Reply(reply).monitorId(), 3);  // the display's own ID, whatever the frame said
    EXPECT_EQ(d->log().at(0).addressedId, 7);

    config.answerAnyId = false;
    d->display().setConfig(config);
    EXPECT_TRUE(Exchange("127.0.3.3", Request(0x2F, {}, 7), kQuiet).empty());
    EXPECT_EQ(Exchange("127.0.3.3", Request(0x2F, {}, 3)).size(), 10u);
    EXPECT_FALSE(d->log().at(1).answered);
}

TEST(LanDisplay, BadFrameIsLoggedAndNotAnswered) {
    auto d = Start("127.0.3.4");
    TcpClient c;
    ASSERT_TRUE(c.connect("127.0.3.4"));
    ASSERT_TRUE(c.send(Hex("A6 01 00 00 00 04 01 18 02 B9")));  // checksum off by one
    EXPECT_TRUE(c.reply(kQuiet).empty());
    ASSERT_TRUE(c.send(Hex("A6 01 00 00 00 04 01 18 01 BB")));  // the connection still works
    EXPECT_EQ(c.reply(), ShortReplyFrame(1, 0x18, kStatusExecuted));
    EXPECT_FALSE(d->state().powerOn);

    const auto log = d->log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_FALSE(log[0].checksumOk);
    EXPECT_EQ(log[0].problem, "bad checksum");
    EXPECT_FALSE(log[0].answered);
    EXPECT_TRUE(log[1].checksumOk);
}

TEST(LanDisplay, ServesSequentialConnectionsAndLogsCutFrames) {
    auto d = Start("127.0.3.5");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange("127.0.3.5", Request(0x31, {})).size(), 10u) << i;
    {
        TcpClient c;
        ASSERT_TRUE(c.connect("127.0.3.5"));
        ASSERT_TRUE(c.send(Hex("A6 01 00 00 00 07 01 AC")));
    }  // closed mid-frame
    ASSERT_TRUE(d->waitForLog(4, 5s));
    const auto log = d->log();
    EXPECT_FALSE(log[3].checksumOk);
    EXPECT_EQ(log[3].problem, "incomplete frame");
}

TEST(LanDisplay, FaultsAreObservedOnTheWire) {
    const Bytes query = Request(0x2F, {});
    const struct {
        const char* name;
        Fault fault;
        std::function<void(TcpClient&)> check;
    } cases[] = {
        {"never", Fault::NeverAnswer, [](TcpClient& c) {
             EXPECT_TRUE(c.reply(kQuiet).empty());
             EXPECT_FALSE(c.closedByPeer(0ms));
         }},
        {"late", Fault::AnswerLate, [](TcpClient& c) {
             const auto t0 = std::chrono::steady_clock::now();
             EXPECT_EQ(c.reply(5s).size(), 10u);
             EXPECT_GE(std::chrono::steady_clock::now() - t0, 250ms);  // at least, never at most
         }},
        {"wrong header", Fault::WrongHeader, [](TcpClient& c) { EXPECT_EQ(protocol::Reply(c.reply()).header(), 0x12); }},
        {"short", Fault::ShortReply, [](TcpClient& c) { EXPECT_EQ(protocol::Reply(c.reply()).length(), 0x04); }},
        {"nack", Fault::Nack, [](TcpClient& c) { EXPECT_TRUE(protocol::Reply(c.reply()).isNack()); }},
        {"nav", Fault::Nav, [](TcpClient& c) { EXPECT_TRUE(protocol::Reply(c.reply()).isNav()); }},
        {"long", Fault::LongReply, [](TcpClient& c) { EXPECT_GT(c.reply().size(), kLanReplyLimit); }},
        {"close", Fault::CloseAtOnce, [](TcpClient& c) { EXPECT_TRUE(c.closedByPeer(5s)); }},
    };
    int host = 10;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string address = "127.0.3." + std::to_string(host++);
        auto d = Start(address);
        d->setFault(c.fault, 300);
        TcpClient client;
        ASSERT_TRUE(client.connect(address));
        client.send(query);
        c.check(client);
        if (c.fault == Fault::CloseAtOnce) {
            EXPECT_TRUE(d->log().empty());
        } else {
            EXPECT_TRUE(d->waitForLog(1, 5s));
        }
    }
}

TEST(LanDisplay, StartFailsWithAReason) {
    std::string error;
    LanDisplay outside("192.0.2.1");  // refused before any socket is made
    EXPECT_FALSE(outside.start(&error));
    EXPECT_NE(error.find("127.0.0.0/8"), std::string::npos);

    LanDisplay garbage("127.0.3.300");
    EXPECT_FALSE(garbage.start(&error));

    auto first = Start("127.0.3.6");
    LanDisplay second("127.0.3.6");
    error.clear();
    EXPECT_FALSE(second.start(&error));
    EXPECT_NE(error.find("127.0.3.6:5000"), std::string::npos) << error;
}

TEST(LanDisplay, StopsWithAClientStillConnected) {
    auto d = Start("127.0.3.7");
    d->setFault(Fault::AnswerLate, 60000);
    TcpClient c;
    ASSERT_TRUE(c.connect("127.0.3.7"));
    ASSERT_TRUE(c.send(Request(0x2F, {})));
    ASSERT_TRUE(d->waitForLog(1, 5s));
    d->stop();
    EXPECT_FALSE(d->running());
    EXPECT_TRUE(c.closedByPeer(5s));
}

TEST(LanDisplay, LoopbackCheck) {
    for (const char* ok : {"127.0.0.1", "127.0.3.250", "127.255.255.254"}) EXPECT_TRUE(IsLoopbackAddress(ok)) << ok;
    for (const char* bad : {"128.0.0.1", "10.0.0.1", "0.0.0.0", "localhost", "", "127.1"})
        EXPECT_FALSE(IsLoopbackAddress(bad)) << bad;
}

}  // namespace
}  // namespace dravik::sim
