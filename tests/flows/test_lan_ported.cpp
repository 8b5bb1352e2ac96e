// The LAN exchanges of the Control and wall flows on LanLink, against simulated displays on
// 127.0.85.1 .. 127.0.85.49; nothing listens on 127.0.85.200 .. 127.0.85.219 (refused at
// once). What each row shows is read back through PageRecorder.
#include "flows/control_flow.h"
#include "flows/wall_commands.h"

#include "transport/lan_link.h"
#include "transport/memory_link.h"
#include "transport/serial_link.h"

#include "../transport/sim_helpers.h"
#include "page_recorder.h"
#include "support/waits.h"
#include "protocol/reply.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace dravik::flows::testing {
namespace {

using namespace std::chrono_literals;
using flows::ButtonFlowId;
using transport::testing::Commands;
using transport::testing::Config;
using transport::testing::StartLanDisplay;

struct Ran {
    ControlRun run;
    PageRecorder page;
};

// One flow on the LAN link (and a closed COM port) over `targets`.
Ran RunLan(ButtonFlowId id, std::vector<targets::Target> targets, int selected = -1, bool show = true) {
    Ran r;
    r.page = PageRecorder(targets.size());
    r.page.show = show;
    r.page.tx = "previous";
    transport::LanLink lan;
    transport::SerialPort closed;
    transport::SerialLink serial(closed);
    ControlRequest req;
    req.flow = &flows::FlowOf(id);
    req.targets = std::move(targets);
    req.selected = selected;
    req.lan = true;
    r.run = RunControlFlow(req, {&lan, &serial}, r.page);
    return r;
}

TEST(LanSendPorted, AddressesSealsAndMarksTheRow) {
    struct Case {
        std::string address;
        bool listening;
        std::string id;
        bool show;
        std::string link;
        Outcome outcome;
        std::string sent;  // as the display logged it
    };
    const std::vector<Case> cases{
        {"127.0.85.1", true, "12", true, "Y", Outcome::Sent, "A6 0C 00 00 00 04 01 18 02 B5 "},
        {"127.0.85.2", true, "300", true, "Y", Outcome::Sent, "A6 2C 00 00 00 04 01 18 02 95 "},
        {"127.0.85.3", true, "abc", false, "Y", Outcome::Sent, "A6 00 00 00 00 04 01 18 02 B9 "},
        {"127.0.85.201", false, "5", true, "N", Outcome::ConnectRefused, ""},
        {"", false, "5", true, "N", Outcome::NameNotResolved, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + " " + c.id);
        auto display = c.listening ? StartLanDisplay(c.address) : nullptr;

        const Ran r = RunLan(ButtonFlowId::On, {LanTarget(c.address, "KA-55", c.id)}, -1, c.show);

        EXPECT_EQ(r.page.links[0], c.link);
        const std::vector<std::string> statuses = c.listening ? std::vector<std::string>{"Connecting...", "Sending...", ""}
                                                              : std::vector<std::string>{"Connecting...", ""};
        EXPECT_EQ(r.page.statuses, statuses);
        EXPECT_EQ(r.page.rxHistory, std::vector<std::string>{""});
        EXPECT_EQ(r.page.focuses, 1);
        ASSERT_EQ(r.run.rows.size(), 1u);
        EXPECT_EQ(r.run.rows[0].outcome, c.outcome);
        ASSERT_EQ(r.run.rows[0].framesSent.size(), 1u);
        // The flow clears the TX box first; the sealed frame shows only with the Show flag.
        EXPECT_EQ(r.page.tx, c.show ? r.run.rows[0].framesSent[0].TxText() : "");
        if (display) {
            ASSERT_TRUE(display->waitForLog(1, 2s));
            EXPECT_EQ(display->log().at(0).hex, c.sent);
            EXPECT_TRUE(display->log().at(0).checksumOk);
        }
    }
}

TEST(LanQueryPorted, StoresEchoesAndDecodesOneReply) {
    struct Case {
        std::string address;  // empty: refused
        sim::Fault fault;
        std::size_t count;
    };
    const std::vector<Case> cases{
        {"127.0.85.10", sim::Fault::None, 10},      {"127.0.85.11", sim::Fault::NeverAnswer, 0},
        {"127.0.85.12", sim::Fault::LongReply, 32}, {"127.0.85.13", sim::Fault::CloseAtOnce, 0},
        {"", sim::Fault::None, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + " " + sim::FaultName(c.fault));
        auto display = c.address.empty() ? nullptr : StartLanDisplay(c.address, Config("KA-55", 1, c.fault));
        if (display) display->setTemperature(-10);

        QElapsedTimer clock;
        clock.start();
        // Show off: the receive box echoes regardless.
        const Ran r = RunLan(ButtonFlowId::Temperature, {LanTarget(c.address.empty() ? "127.0.85.202" : c.address)}, 0,
                             false);

        EXPECT_EQ(r.page.statusLine, "");
        ASSERT_EQ(r.run.rows.size(), 1u);
        const RowResult& row = r.run.rows[0];
        if (!display) {
            EXPECT_EQ(r.page.links[0], "N");
            EXPECT_EQ(r.page.decodes, 0);
            EXPECT_EQ(row.outcome, Outcome::ConnectRefused);
            continue;
        }
        EXPECT_EQ(r.page.links[0], "Y");
        EXPECT_EQ(r.page.decodes, 1);
        EXPECT_EQ(row.reply.size(), c.count);
        EXPECT_EQ(r.page.replyBuffer, row.reply);  // nothing of an older reply behind the new one
        EXPECT_EQ(r.page.rx, protocol::HexSpaced(row.reply));
        if (c.fault == sim::Fault::None) {
            EXPECT_EQ(r.page.rx.substr(0, 24), "21 01 00 00 05 01 2F F6 ");
            EXPECT_EQ(row.value.temperature, -10);
        }
        if (c.fault == sim::Fault::NeverAnswer) {
            EXPECT_GE(clock.elapsed(), 3000);  // the receive time-out is the behaviour here
            EXPECT_EQ(row.outcome, Outcome::NoReply);
        }
    }
}

TEST(LanReadThenSetPorted, SetFrameFollowsOnlyALongAcceptedReply) {
    struct Case {
        std::string address;
        std::string model;
        sim::Fault fault;
        std::size_t frames;  // what the display received: the pre-read, the set frame
        std::string link;
    };
    const std::vector<Case> cases{
        {"127.0.85.20", "LM-55", sim::Fault::None, 2, "Y"},
        {"127.0.85.21", "LM-55", sim::Fault::ShortReply, 1, "Y"},   // an acknowledge: 9 bytes
        {"127.0.85.22", "LM-55", sim::Fault::WrongHeader, 1, "Y"},  // long, but the decoder refuses it
        {"127.0.85.23", "LX-24", sim::Fault::None, 1, "0"},         // no pre-read: the set frame alone
        {"127.0.85.24", "LM-55", sim::Fault::NeverAnswer, 1, "Y"},
        {"127.0.85.25", "LM-55", sim::Fault::LongReply, 2, "Y"},    // 32 of it kept, decoded
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + " " + sim::FaultName(c.fault));
        auto display = StartLanDisplay(c.address, Config(c.model, 7, c.fault));

        const Ran r = RunLan(ButtonFlowId::Brightness, {LanTarget(c.address, c.model, "7")});

        // Only the pre-read's answer marks the row; the set frame leaves LINK as it was.
        EXPECT_EQ(r.page.links[0], c.link);
        EXPECT_EQ(r.page.statusLine, "");
        ASSERT_EQ(r.run.rows.size(), 1u);
        const RowResult& row = r.run.rows[0];
        ASSERT_EQ(row.framesSent.size(), c.frames);
        ASSERT_TRUE(display->waitForLog(c.frames, 2s));
        EXPECT_FALSE(display->waitForLog(c.frames + 1, 100ms));
        const auto log = display->log();
        for (std::size_t i = 0; i < c.frames; ++i) {
            EXPECT_EQ(log[i].bytes, row.framesSent[i].bytes());
            EXPECT_EQ(log[i].addressedId, 7);
        }
        if (c.frames == 2) {
            EXPECT_EQ(Commands(log).front(), 0x33);
            // The answer to the set frame, not the tail of the pre-read's answer.
            ASSERT_GE(row.reply.size(), 7u);
            EXPECT_EQ(protocol::Reply(row.reply).header(), 0x21);
            EXPECT_EQ(protocol::Reply(row.reply).command(), protocol::Request(row.framesSent[1].bytes()).command());
        }
    }
}

// The pre-read's boundary: 12 bytes are an acknowledge at most, 13 that the decoder takes
// carry the values the set frame is built on.
TEST(LanReadThenSetPorted, TwelveBytesStopThirteenGoOn) {
    struct Case {
        std::size_t replySize;
        std::size_t frames;
        int decodes;
    };
    const Case cases[] = {{12, 1, 0}, {13, 2, 1}, {9, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.replySize);
        transport::VirtualClock clock;
        transport::MemoryLink lan(transport::MemoryLink::Style::Lan, &clock);
        lan.setPeer("127.0.85.26", [n = c.replySize](std::span<const protocol::Byte> frame) {
            protocol::Bytes reply{0x21, frame[1], 0, 0, static_cast<protocol::Byte>(n - 5), 1, frame[7]};
            reply.resize(n, 0x10);
            return reply;
        });
        transport::MemoryLink serial(transport::MemoryLink::Style::Serial, &clock);
        PageRecorder page(1);
        ControlRequest req;
        req.flow = &flows::FlowOf(ButtonFlowId::Brightness);
        req.targets = {LanTarget("127.0.85.26", "LM-55", "2")};
        req.clock = &clock;
        const ControlRun run = RunControlFlow(req, {&lan, &serial}, page);
        EXPECT_EQ(lan.sent().size(), c.frames);
        EXPECT_EQ(page.decodes, c.decodes);
        EXPECT_EQ(lan.opens(), 1);  // both frames on one connection
        ASSERT_EQ(run.rows.size(), 1u);
        EXPECT_EQ(run.rows[0].framesSent.size(), c.frames);
        // The 300 ms pause after the pre-read, whatever came.
        EXPECT_EQ(lan.sent().at(0).at, transport::Millis{0});
        if (c.frames == 2) {
            EXPECT_EQ(lan.sent().at(1).at, transport::Millis{300});
        }
    }
}

TEST(LanExchangesPorted, NoneTouchesTheNetworkInRs232Mode) {
    transport::VirtualClock clock;
    transport::MemoryLink lan(transport::MemoryLink::Style::Lan, &clock);
    lan.setPeer("127.0.85.30", [](std::span<const protocol::Byte>) { return protocol::Bytes{}; });
    transport::SerialPort closed;
    transport::SerialLink serial(closed, clock);
    for (const ButtonFlowId id : {ButtonFlowId::On, ButtonFlowId::Temperature, ButtonFlowId::Brightness}) {
        SCOPED_TRACE(std::string(flows::FlowOf(id).name));
        PageRecorder page(1);
        ControlRequest req;
        req.flow = &flows::FlowOf(id);
        req.targets = {LanTarget("127.0.85.30", "KB-43")};
        req.selected = 0;
        req.lan = false;
        req.clock = &clock;
        RunControlFlow(req, {&lan, &serial}, page);
        EXPECT_EQ(page.links[0], "0");
        // The RS-232 sender ran instead and found its port closed.
        EXPECT_EQ(page.messages, std::vector<std::string>{"COM Port Closed "});
    }
    PageRecorder wall(1);
    WallRequest req;
    req.targets = {LanTarget("127.0.85.30", "KB-43")};
    req.lan = false;
    req.clock = &clock;
    RunWallFlow(req, {&lan, &serial}, wall);
    EXPECT_EQ(wall.links[0], "0");
    EXPECT_EQ(lan.opens(), 0);
    EXPECT_TRUE(lan.sent().empty());
}

TEST(LanWallPorted, IdOutsideOneToTwentyFiveIsOneAndTheAnswerIsKept) {
    auto display = StartLanDisplay("127.0.85.31");
    const std::vector<std::pair<std::string, int>> cases{{"0", 1}, {"26", 1}, {"", 1}, {"25", 25}};
    WallRequest req;
    req.command = WallCommand::PowerOn;
    for (const auto& [id, expected] : cases) req.targets.push_back(LanTarget("127.0.85.31", "KA-55", id));
    transport::LanLink lan;
    transport::SerialPort closed;
    transport::SerialLink serial(closed);
    PageRecorder page(cases.size());
    const WallRun run = RunWallFlow(req, {&lan, &serial}, page);
    ASSERT_EQ(run.rows.size(), cases.size());
    for (std::size_t row = 0; row < cases.size(); ++row) {
        EXPECT_EQ(page.links[row], "Y");
        EXPECT_EQ(run.rows[row].reply.size(), 9u);  // the acknowledge, read back but not decoded
    }
    EXPECT_EQ(page.decodes, 0);
    ASSERT_TRUE(display->waitForLog(cases.size(), 2s));
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(display->log()[i].addressedId, cases[i].second);
}

// A listener whose accept queue is full drops further connection requests: a connect to it
// neither succeeds nor fails, like a display that does not answer at all. The flow runs on
// its own thread, as the window runs it, and the window thread's events go on meanwhile.
TEST(LanSendPorted, ConnectGivesUpAfterItsBoundAndTheWindowThreadRunsOn) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(5000);
    ::inet_pton(AF_INET, "127.0.85.250", &sa.sin_addr);
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

    bool timerRan = false;
    QTimer::singleShot(100, [&] { timerRan = true; });
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> done{false};
    Ran r;
    std::thread worker([&] {
        r = RunLan(ButtonFlowId::On, {LanTarget("127.0.85.250")});
        done = true;
    });
    EXPECT_TRUE(dravik::testing::WaitUntil([&] { return done.load(); }, std::chrono::minutes(2)));
    worker.join();
    EXPECT_EQ(r.page.links[0], "N");
    ASSERT_EQ(r.run.rows.size(), 1u);
    EXPECT_EQ(r.run.rows[0].outcome, Outcome::ConnectTimedOut);
    EXPECT_GE(clock.elapsed(), 4500);  // it waited for the connect, up to its bound
    EXPECT_TRUE(timerRan);             // events went on meanwhile
}

}  // namespace
}  // namespace dravik::flows::testing
