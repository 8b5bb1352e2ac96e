// The RS-232 exchanges of the Control and wall flows on SerialLink, against displays on
// pseudo-terminal lines, read back through PageRecorder.
#include "flows/control_flow.h"
#include "flows/wall_commands.h"

#include "transport/memory_link.h"
#include "transport/serial_link.h"

#include "../transport/sim_helpers.h"
#include "page_recorder.h"
#include "protocol/reply.h"

#include <QElapsedTimer>

#include <regex>
#include <thread>

namespace dravik::flows::testing {
namespace {

using namespace std::chrono_literals;
using flows::ButtonFlowId;
using transport::testing::Commands;
using transport::testing::Config;
using transport::testing::Path;
using transport::testing::StartSerialLine;

// RS-232 mode with the line's device open.
struct SerialBench {
    explicit SerialBench(std::vector<sim::DisplayConfig> displays) : line(StartSerialLine(std::move(displays))) {
        EXPECT_EQ(port.open(Path(*line)), transport::OpenResult::Opened);
    }
    std::unique_ptr<sim::SerialLine> line;
    transport::SerialPort port;
    transport::SerialLink serial{port};
    transport::MemoryLink lan;  // never used over RS-232
};

ControlRun RunSerial(ButtonFlowId id, transport::SerialLink& serial, transport::Link& lan, PageRecorder& page,
                     std::vector<targets::Target> targets, int selected = -1) {
    ControlRequest req;
    req.flow = &flows::FlowOf(id);
    req.targets = std::move(targets);
    req.selected = selected;
    req.lan = false;
    return RunControlFlow(req, {&lan, &serial}, page);
}

TEST(SerialExchangesPorted, PortClosedWritesNothing) {
    auto line = StartSerialLine({Config("KA-55", 1)});
    transport::SerialPort closed;
    transport::SerialLink serial(closed);
    transport::MemoryLink lan;
    const std::vector<std::pair<ButtonFlowId, std::string>> cases{
        {ButtonFlowId::On, "Send....."},
        {ButtonFlowId::Temperature, "Sending..."},
        {ButtonFlowId::Brightness, "untouched"},
    };
    for (const auto& [id, status] : cases) {
        SCOPED_TRACE(std::string(flows::FlowOf(id).name));
        PageRecorder page(2);
        const ControlRun run = RunSerial(id, serial, lan, page, {SerialTarget("1"), SerialTarget("2")},
                                         id == ButtonFlowId::Temperature ? 0 : -1);
        EXPECT_EQ(page.messages, std::vector<std::string>{"COM Port Closed "});
        EXPECT_EQ(page.statusLine, status);
        // The walk stopped at the first row.
        ASSERT_EQ(run.rows.size(), 1u);
        EXPECT_EQ(run.rows[0].outcome, Outcome::PortClosed);
    }
    PageRecorder wall(1);
    WallRequest req;
    req.targets = {SerialTarget("1")};
    req.lan = false;
    const WallRun run = RunWallFlow(req, {&lan, &serial}, wall);
    EXPECT_EQ(wall.messages, std::vector<std::string>{"COM Port Closed "});
    EXPECT_EQ(wall.statusLine, "Send.....");
    ASSERT_EQ(run.rows.size(), 1u);
    EXPECT_EQ(run.rows[0].outcome, Outcome::PortClosed);
    EXPECT_FALSE(line->waitForLog(1, 200ms));
}

TEST(SerialSendPorted, AddressesByTheRowsIdAndKeepsTheReply) {
    for (const bool show : {true, false}) {
        SCOPED_TRACE(show);
        SerialBench b({Config("KA-55", 3), Config("KA-55", 4)});
        PageRecorder page(1);
        page.show = show;
        page.tx = "previous";

        const ControlRun run = RunSerial(ButtonFlowId::On, b.serial, b.lan, page, {SerialTarget("3")});

        ASSERT_TRUE(b.line->waitForLog(1, 1s));
        EXPECT_EQ(b.line->log().at(0).hex, "A6 03 00 00 00 04 01 18 02 BA ");
        const std::vector<std::string> statuses{"Send.....", ""};
        EXPECT_EQ(page.statuses, statuses);
        ASSERT_EQ(run.rows.size(), 1u);
        const RowResult& row = run.rows[0];
        ASSERT_EQ(row.reply.size(), 9u);  // the acknowledge of display 3
        EXPECT_EQ(protocol::Reply(row.reply).monitorId(), 3);
        EXPECT_EQ(row.outcome, Outcome::Replied);
        EXPECT_EQ(page.rx, show ? protocol::HexPacked(row.reply) : "");
        // The flow clears the TX box first; the sealed frame shows only with the Show flag.
        EXPECT_EQ(page.tx, show ? "A6 03 00 00 00 04 01 18 02 BA " : "");
        EXPECT_TRUE(b.lan.sent().empty());
    }
}

TEST(SerialQueryPorted, ReplyOrMessage) {
    SerialBench b({Config("KA-55", 3)});
    b.line->display(3)->setTemperature(-10);
    const std::vector<targets::Target> rows{SerialTarget("3"), SerialTarget("9")};  // nobody answers ID 9

    PageRecorder answered(2);
    const ControlRun first = RunSerial(ButtonFlowId::Temperature, b.serial, b.lan, answered, rows, 0);
    EXPECT_EQ(answered.links[0], "Y");
    EXPECT_EQ(answered.decodes, 1);
    ASSERT_EQ(first.rows.size(), 1u);
    ASSERT_GE(first.rows[0].reply.size(), 8u);
    EXPECT_EQ(protocol::Reply(first.rows[0].reply).status(), 0xF6);
    EXPECT_EQ(first.rows[0].value.temperature, -10);
    EXPECT_EQ(answered.statusLine, "");
    EXPECT_TRUE(answered.messages.empty());

    PageRecorder silent(2);
    QElapsedTimer clock;
    clock.start();
    const ControlRun second = RunSerial(ButtonFlowId::Temperature, b.serial, b.lan, silent, rows, 1);
    EXPECT_GE(clock.elapsed(), 1300);  // both reads were waited for
    EXPECT_EQ(silent.messages, std::vector<std::string>{" no receive Data from ID: 9 Monitor"});
    EXPECT_EQ(silent.links[1], "0");
    EXPECT_EQ(silent.statusLine, "Sending...");
    EXPECT_EQ(silent.decodes, 0);
    ASSERT_EQ(second.rows.size(), 1u);
    EXPECT_EQ(second.rows[0].outcome, Outcome::NoReply);
}

TEST(SerialReadThenSetPorted, SetFrameFollowsALengthOfFiveOrMore) {
    struct Case {
        std::string model;
        sim::Fault fault;
        std::size_t frames;  // the pre-read and the set frame the line carried
        int decodes;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases{
        {"LM-55", sim::Fault::None, 2, 1, {}},
        {"LM-55", sim::Fault::ShortReply, 1, 0, {}},  // acknowledge layout, byte 4 = 4
        {"LM-55", sim::Fault::NeverAnswer, 1, 0, {" no receive Data from ID: 2 Monitor"}},
        // Over RS-232 the decoder's verdict does not matter: a long reply it refuses still
        // lets the set frame follow.
        {"LM-55", sim::Fault::WrongHeader, 2, 1, {}},
        {"LX-24", sim::Fault::None, 1, 0, {}},  // no pre-read: the set frame alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model + " " + sim::FaultName(c.fault));
        SerialBench b({Config(c.model, 2, c.fault)});
        PageRecorder page(1);

        const ControlRun run = RunSerial(ButtonFlowId::Brightness, b.serial, b.lan, page, {SerialTarget("2", c.model)});

        EXPECT_EQ(page.decodes, c.decodes);
        EXPECT_EQ(page.messages, c.messages);
        ASSERT_EQ(run.rows.size(), 1u);
        const RowResult& row = run.rows[0];
        ASSERT_EQ(row.framesSent.size(), c.frames);
        b.line->waitForLog(c.frames, 1s);
        const auto log = b.line->log();
        ASSERT_EQ(log.size(), c.frames);
        for (std::size_t i = 0; i < c.frames; ++i) EXPECT_EQ(log[i].bytes, row.framesSent[i].bytes());
        if (c.model == "LM-55") {
            EXPECT_EQ(Commands(log).front(), 0x33);
        }
        if (c.frames == 2 && c.fault == sim::Fault::None) {
            // Each echo shows only its own reply: the pre-read's spaced, the set's packed.
            const std::regex preRead("^21 02 00 00 0A 01 33 ([0-9A-F]{2} ){8}$");
            int spaced = 0;
            for (const std::string& rx : page.rxHistory) spaced += std::regex_match(rx, preRead);
            EXPECT_EQ(spaced, 1);
            EXPECT_EQ(page.rx, protocol::HexPacked(row.reply));
            ASSERT_GE(row.reply.size(), 7u);
            EXPECT_EQ(protocol::Reply(row.reply).command(), protocol::Request(row.framesSent[1].bytes()).command());
            EXPECT_EQ(page.links[0], "Y");
        }
    }
}

TEST(SerialExchangesPorted, LeftoversAreNoAnswerToTheNextFrame) {
    // A reply missed by the send (1.5 s late), and the tail of one over 128 bytes.
    for (const sim::Fault fault : {sim::Fault::AnswerLate, sim::Fault::LongReply}) {
        SCOPED_TRACE(sim::FaultName(fault));
        SerialBench b({Config("KA-55", 1, fault, 1500)});
        const std::vector<targets::Target> rows{SerialTarget("1")};
        PageRecorder page(1);
        if (fault == sim::Fault::AnswerLate) {
            const ControlRun missed = RunSerial(ButtonFlowId::On, b.serial, b.lan, page, rows);
            ASSERT_EQ(missed.rows.size(), 1u);
            EXPECT_TRUE(missed.rows[0].reply.empty());
            EXPECT_EQ(missed.rows[0].outcome, Outcome::NoReply);
            std::this_thread::sleep_for(1500ms);  // the late acknowledge arrives meanwhile
        } else {
            const ControlRun longer = RunSerial(ButtonFlowId::Temperature, b.serial, b.lan, page, rows, 0);
            ASSERT_EQ(longer.rows.size(), 1u);
            EXPECT_EQ(longer.rows[0].reply.size(), 128u);
        }
        b.line->display(1)->setFault(sim::Fault::None);
        PageRecorder next(1);
        const ControlRun query = RunSerial(ButtonFlowId::Temperature, b.serial, b.lan, next, rows, 0);
        ASSERT_EQ(query.rows.size(), 1u);
        const RowResult& row = query.rows[0];
        ASSERT_GE(row.reply.size(), 7u);
        EXPECT_EQ(protocol::Reply(row.reply).header(), 0x21);
        EXPECT_EQ(protocol::Reply(row.reply).command(), 0x2F);  // the answer to this query, not the leftover
        EXPECT_EQ(row.outcome, Outcome::Replied);
    }
}

}  // namespace
}  // namespace dravik::flows::testing
