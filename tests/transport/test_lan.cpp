// LAN exchanges against simulated displays on 127.0.4.1 .. 127.0.4.39; nothing listens on
// 127.0.4.201 .. 127.0.4.219 (connection refused at once).
#include "transport/lan.h"

#include "fake_context.h"
#include "sim_helpers.h"

#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace dravik::transport::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Frame;

const Frame kPowerOn = Frame::Build(0x18, {0x02});

TEST(SendLan, AddressesSealsAndMarksTheRow) {
    struct Case {
        QString address;
        bool listening;
        QString id;
        bool show;
        QString link;
        std::string sent;  // as the display logged it
    };
    const std::vector<Case> cases{
        {"127.0.4.1", true, "12", true, "Y", "A6 0C 00 00 00 04 01 18 02 B5 "},
        {"127.0.4.2", true, "300", true, "Y", "A6 2C 00 00 00 04 01 18 02 95 "},
        {"127.0.4.3", true, "abc", false, "Y", "A6 00 00 00 00 04 01 18 02 B9 "},
        {"127.0.4.201", false, "5", true, "N", ""},
        {"", false, "5", true, "N", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address.toStdString() + " " + c.id.toStdString());
        auto display = c.listening ? StartLanDisplay(c.address.toStdString()) : nullptr;
        FakeContext ctx;
        ctx.show = c.show;
        ctx.tx = "previous";
        ctx.addRow(c.address, "KA-55", c.id);
        ctx.frame = kPowerOn;

        SendLan(ctx, 0);

        EXPECT_EQ(ctx.link(0), c.link);
        EXPECT_EQ(ctx.statuses, c.listening ? QStringList({"Connecting...", "Sending...", ""})
                                            : QStringList({"Connecting...", ""}));
        EXPECT_EQ(ctx.rxHistory, QStringList{""});
        EXPECT_EQ(ctx.focuses, 1);
        EXPECT_EQ(ctx.tx, c.show ? HexSpaced(ctx.frame.bytes()) : "previous");
        if (display) {
            ASSERT_TRUE(display->waitForLog(1, 2s));
            EXPECT_EQ(display->log().at(0).hex, c.sent);
            EXPECT_TRUE(display->log().at(0).checksumOk);
        }
    }
}

TEST(QueryLan, StoresEchoesAndDecodesOneReply) {
    struct Case {
        std::string address;  // empty: refused
        sim::Fault fault;
        int count;
    };
    const std::vector<Case> cases{
        {"127.0.4.10", sim::Fault::None, 10},      {"127.0.4.11", sim::Fault::NeverAnswer, 0},
        {"127.0.4.12", sim::Fault::LongReply, 32}, {"127.0.4.13", sim::Fault::CloseAtOnce, 0},
        {"", sim::Fault::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + " " + sim::FaultName(c.fault));
        auto display = c.address.empty() ? nullptr : StartLanDisplay(c.address, Config("KA-55", 1, c.fault));
        if (display) display->setTemperature(-10);
        FakeContext ctx;
        ctx.show = false;  // the receive box echoes regardless
        ctx.addRow(c.address.empty() ? "127.0.4.202" : QString::fromStdString(c.address), "KA-55");
        ctx.frame = Frame::Build(0x2F, {});
        ctx.reply.assign(std::vector<protocol::Byte>(40, 0xEE));  // an older reply

        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(QueryLan(ctx, 0), display != nullptr);

        EXPECT_EQ(ctx.status, "");
        if (!display) {
            EXPECT_EQ(ctx.link(0), "N");
            EXPECT_TRUE(ctx.decoded.isEmpty());
            continue;
        }
        EXPECT_EQ(ctx.link(0), "Y");
        EXPECT_EQ(ctx.decoded, QStringList{"KA-55"});
        EXPECT_EQ(ctx.reply.count, c.count);
        EXPECT_EQ(ctx.reply.at(c.count), 0);  // nothing of the older reply behind the new one
        EXPECT_EQ(ctx.rx, HexSpaced(ctx.reply.received()));
        if (c.fault == sim::Fault::None) {
            EXPECT_EQ(ctx.rx.left(24), "21 01 00 00 05 01 2F F6 ");
        }
        if (c.fault == sim::Fault::NeverAnswer) {
            EXPECT_GE(clock.elapsed(), 3000);  // the receive time-out is the behaviour here
        }
    }
}

TEST(ReadThenSetLan, SetFrameFollowsOnlyALongAcceptedReply) {
    struct Case {
        std::string address;
        std::string model;  // the display answers A2 01 with its model: 8 + length bytes
        sim::Fault fault;
        bool query;  // buildQuery builds one
        bool set;    // buildSet builds one
        bool decoderAnswer;
        std::vector<int> commands;  // what the display received, in order
    };
    const std::vector<Case> cases{
        {"127.0.4.20", "KB-4", sim::Fault::None, true, true, true, {0xA2}},  // 12 bytes
        {"127.0.4.21", "KB-43", sim::Fault::None, true, true, true, {0xA2, 0xC0}},
        {"127.0.4.22", "KB-43", sim::Fault::None, true, true, false, {0xA2}},
        {"127.0.4.23", "KB-43", sim::Fault::None, false, true, true, {0xC0}},
        {"127.0.4.24", "KB-43", sim::Fault::None, true, false, true, {0xA2}},
        {"127.0.4.25", "KB-43", sim::Fault::NeverAnswer, true, true, true, {0xA2}},
        {"127.0.4.26", "KB-43", sim::Fault::LongReply, true, true, true, {0xA2, 0xC0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        auto display = StartLanDisplay(c.address, Config(c.model, 7, c.fault));
        FakeContext ctx;
        ctx.decoderAnswer = c.decoderAnswer;
        ctx.addRow(QString::fromStdString(c.address), QString::fromStdString(c.model), "7");
        auto build = [&](bool builds, const Frame& frame) {
            return [&ctx, builds, frame](const QString&) {
                if (builds) ctx.frame = frame;
                return builds;
            };
        };

        ReadThenSetLan(ctx, 0, build(c.query, Frame::Build(0xA2, {0x01})), build(c.set, Frame::Build(0xC0, {0x3C})));

        // Only the query's answer marks the row; the set frame leaves LINK as it was.
        EXPECT_EQ(ctx.link(0), c.query ? "Y" : "0");
        EXPECT_EQ(ctx.status, "");
        ASSERT_TRUE(display->waitForLog(c.commands.size(), 2s));
        EXPECT_EQ(Commands(display->log()), c.commands);
        for (const auto& e : display->log()) EXPECT_EQ(e.addressedId, 7);
        if (c.commands.back() == 0xC0) {
            // The answer to the set frame, not the tail of the query's answer.
            EXPECT_EQ(ctx.reply.at(0), 0x21);
            EXPECT_EQ(ctx.reply.at(6), 0xC0);
        }
    }
}

TEST(LanExchanges, DoNothingInRs232Mode) {
    auto display = StartLanDisplay("127.0.4.30");
    FakeContext ctx;
    ctx.lan = false;
    ctx.addRow("127.0.4.30", "KB-43");
    ctx.frame = kPowerOn;
    auto build = [](const QString&) { return ADD_FAILURE(), true; };
    SendLan(ctx, 0);
    EXPECT_FALSE(QueryLan(ctx, 0));
    ReadThenSetLan(ctx, 0, build, build);
    SendLanWall(ctx, 0);
    EXPECT_EQ(ctx.link(0), "0");
    EXPECT_TRUE(ctx.statuses.isEmpty());
    EXPECT_EQ(ctx.frame, kPowerOn);
    EXPECT_FALSE(display->waitForLog(1, 300ms));
}

TEST(SendLanWall, IdOutsideOneToTwentyFiveIsOneAndTheAnswerIsKept) {
    auto display = StartLanDisplay("127.0.4.31");
    const std::vector<std::pair<QString, int>> cases{{"0", 1}, {"26", 1}, {"", 1}, {"25", 25}};
    FakeContext ctx;
    for (const auto& [id, expected] : cases) ctx.addRow("127.0.4.31", "KA-55", id);
    for (int row = 0; row < ctx.rowCount(); ++row) {
        ctx.frame = kPowerOn;
        SendLanWall(ctx, row);
        EXPECT_EQ(ctx.link(row), "Y");
        EXPECT_EQ(ctx.reply.count, 9);  // the acknowledge, read back but not decoded
        EXPECT_TRUE(ctx.decoded.isEmpty());
    }
    ASSERT_TRUE(display->waitForLog(cases.size(), 2s));
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(display->log()[i].addressedId, cases[i].second);
}

// A listener whose accept queue is full drops further connection requests: a connect to it
// neither succeeds nor fails, like a display that does not answer at all.
TEST(LanLink, ConnectGivesUpAfterItsTimeOutAndKeepsRepainting) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(5000);
    ::inet_pton(AF_INET, "127.0.4.250", &sa.sin_addr);
    auto* addr = reinterpret_cast<sockaddr*>(&sa);
    std::vector<int> fds{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)};
    const int one = 1;
    ::setsockopt(fds[0], SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ASSERT_EQ(::bind(fds[0], addr, sizeof sa), 0);
    ASSERT_EQ(::listen(fds[0], 0), 0);
    bool full = false;
    for (int i = 0; i < 8 && !full; ++i) {
        fds.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        ::connect(fds.back(), addr, sizeof sa);
        pollfd p{fds.back(), POLLOUT, 0};
        full = ::poll(&p, 1, 300) == 0;
    }
    struct Closer {
        std::vector<int>& fds;
        ~Closer() {
            for (int fd : fds) ::close(fd);
        }
    } closer{fds};
    if (!full) GTEST_SKIP() << "could not fill an accept queue on loopback";

    FakeContext ctx;
    ctx.addRow("127.0.4.250", "KA-55");
    ctx.frame = kPowerOn;
    bool timerRan = false;
    QTimer::singleShot(100, [&] { timerRan = true; });
    QElapsedTimer clock;
    clock.start();
    SendLan(ctx, 0);
    EXPECT_EQ(ctx.link(0), "N");
    EXPECT_GE(clock.elapsed(), 4500);  // it waited for the connect, up to its bound
    EXPECT_TRUE(timerRan);             // events other than input went on meanwhile
}

}  // namespace
}  // namespace dravik::transport::testing
