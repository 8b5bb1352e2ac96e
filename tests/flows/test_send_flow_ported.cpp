// Send flows A, B and C on the flow layer: which rows get which frame, in which order, with
// which pauses. Scripted links on virtual time, and simulated displays: LAN on
// 127.0.85.41 .. 127.0.85.49 (nothing listens on 127.0.85.220 .. 127.0.85.229), and a
// pseudo-terminal line.
#include "flows/control_flow.h"
#include "flows/flow_worker.h"
#include "flows/wall_commands.h"

#include "transport/memory_link.h"
#include "transport/serial_link.h"
#include "transport/lan_link.h"

#include "../transport/sim_helpers.h"
#include "page_recorder.h"
#include "support/waits.h"

#include <QCoreApplication>

#include <atomic>
#include <map>

namespace dravik::flows::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Byte;
using protocol::Bytes;
using flows::ButtonFlowId;
using transport::MemoryFault;
using transport::MemoryLink;
using transport::testing::Config;
using transport::testing::Path;
using transport::testing::StartLanDisplay;
using transport::testing::StartSerialLine;

// Models by what the HDMI 1 selector makes of them.
const std::string kTakes = "LM-43";
const std::string kRefused = "JSV-4302QH";  // refused, with the refusal message
const std::string kSilent = "GBW-2201";     // refused without a word

Bytes Ack(std::span<const Byte> frame) {
    Bytes b{0x21, frame[1], 0, 0, 4, 1, frame.size() > 7 ? frame[7] : Byte{0}, 0x00, 0};
    for (std::size_t i = 0; i + 1 < b.size(); ++i) b.back() ^= b[i];
    return b;
}

std::string Address(int row) { return "127.0.85." + std::to_string(100 + row); }

// Every row has a peer on both links: row i at Address(i) and at monitor ID i + 1.
struct Links {
    explicit Links(int rows) {
        for (int i = 0; i < rows; ++i) {
            lan.setPeer(Address(i), &Ack);
            serial.setPeer(i + 1, &Ack);
        }
    }
    transport::VirtualClock clock;
    MemoryLink lan{MemoryLink::Style::Lan, &clock};
    MemoryLink serial{MemoryLink::Style::Serial, &clock};

    // L<row> / S<row> per frame written, in order.
    std::vector<std::string> calls() const {
        std::map<std::string, int> rowOf;
        for (int i = 0; i < 10; ++i) {
            rowOf[Address(i)] = i;
            rowOf["ID " + std::to_string(i + 1)] = i;
        }
        std::vector<std::string> out;
        std::vector<std::pair<Millis, std::string>> all;
        for (const auto& s : lan.sent()) all.emplace_back(s.at, "L" + std::to_string(rowOf[s.where]));
        for (const auto& s : serial.sent()) all.emplace_back(s.at, "S" + std::to_string(rowOf[s.where]));
        std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [at, call] : all) out.push_back(call);
        return out;
    }
    using Millis = transport::Millis;
};

std::vector<targets::Target> Rows(const std::vector<std::string>& models, bool lan) {
    std::vector<targets::Target> out;
    for (std::size_t i = 0; i < models.size(); ++i) {
        const int row = static_cast<int>(i);
        targets::Target t = lan ? LanTarget(Address(row), models[i], std::to_string(row + 1))
                                : SerialTarget(std::to_string(row + 1), models[i]);
        out.push_back(t);
    }
    return out;
}

TEST(SendFlowsPorted, AddressRowsByTheRules) {
    struct Case {
        ButtonFlowId flow;
        bool lan;
        int selected;
        std::vector<std::string> models;
        std::vector<std::string> calls;     // frames written: L<row> LAN, S<row> RS-232
        std::vector<std::string> refused;   // refusal boxes, by model
        int rxClears;                       // each sender called clears the receive box first
    };
    const std::vector<Case> cases{
        // Flow A: every row, whatever its model names.
        {ButtonFlowId::On, true, -1, {kTakes, "", "ZZ-1"}, {"L0", "L1", "L2"}, {}, 3},
        // A row selected: both senders are called, each does nothing outside its interface.
        {ButtonFlowId::On, true, 1, {kTakes, kTakes, kTakes}, {"L1"}, {}, 2},
        {ButtonFlowId::On, false, 1, {kTakes, kTakes}, {"S1"}, {}, 2},
        // Custom calls only the sender of the interface in force.
        {ButtonFlowId::Custom, true, 1, {kTakes, kTakes}, {"L1"}, {}, 1},
        {ButtonFlowId::Custom, false, 1, {kTakes, kTakes}, {"S1"}, {}, 1},
        {ButtonFlowId::On, true, -1, {}, {}, {}, 0},  // beeps
        // Flow B: rows the selector gives no frame are skipped; only a refusal says so.
        {ButtonFlowId::Hdmi1, true, -1, {kTakes, kRefused, kSilent, "KA-55"}, {"L0", "L3"}, {kRefused}, 2},
        {ButtonFlowId::Hdmi1, false, -1, {kRefused, kSilent, kTakes}, {"S2"}, {kRefused}, 1},
        {ButtonFlowId::Hdmi2, true, 0, {kRefused, kTakes}, {}, {kRefused}, 0},
        // HDMI 1 shows the refusal once more for a selected row, a silent model's too.
        {ButtonFlowId::Hdmi1, true, 0, {kRefused, kTakes}, {}, {kRefused, kRefused}, 0},
        {ButtonFlowId::Hdmi1, true, 0, {kSilent, kTakes}, {}, {kSilent}, 0},
        {ButtonFlowId::Hdmi1, false, 1, {kRefused, kTakes}, {"S1"}, {}, 2},
        // Flow C: every row gets its model's off frame.
        {ButtonFlowId::Off, true, -1, {"NFB-6502", "KA-55"}, {"L0", "L1"}, {}, 2},
        {ButtonFlowId::Off, false, 1, {"NFB-6502", "KA-55"}, {"S1"}, {}, 2},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(::testing::Message() << i << " " << flows::FlowOf(c.flow).name);
        Links links(static_cast<int>(c.models.size()));
        PageRecorder page(c.models.size());
        page.tx = "old";
        ControlRequest req;
        req.flow = &flows::FlowOf(c.flow);
        req.targets = Rows(c.models, c.lan);
        req.selected = c.selected;
        req.lan = c.lan;
        req.clock = &links.clock;
        const ControlRun run = RunControlFlow(req, {&links.lan, &links.serial}, page);

        EXPECT_EQ(links.calls(), c.calls);
        std::vector<std::string> refusals;
        for (const std::string& m : c.refused) refusals.push_back(Refusal(m));
        EXPECT_EQ(page.messages, refusals);
        EXPECT_EQ(page.messageLine, refusals.empty() ? "" : refusals.back());
        EXPECT_EQ(page.beeps, c.models.empty() ? 1 : 0);
        EXPECT_EQ(page.rxClears, c.rxClears);
        // Cleared first (before the beep too) unless the flow keeps it; with Show the last
        // frame sealed.
        std::string lastSealed;
        for (const RowResult& r : run.rows) {
            for (const protocol::Frame& f : r.framesSent) lastSealed = f.TxText();
        }
        EXPECT_EQ(page.tx, !lastSealed.empty() ? lastSealed : flows::FlowOf(c.flow).announcesStart ? "" : "old");
    }
}

TEST(SendFlowsPorted, PowerOffFramePerModel) {
    Links links(2);
    PageRecorder page(2);
    ControlRequest req;
    req.flow = &flows::FlowOf(ButtonFlowId::Off);
    req.targets = Rows({"NFB-6502", "KA-55"}, true);
    req.clock = &links.clock;
    const ControlRun run = RunControlFlow(req, {&links.lan, &links.serial}, page);
    ASSERT_EQ(run.rows.size(), 2u);
    ASSERT_EQ(links.lan.sent().size(), 2u);
    EXPECT_EQ(protocol::HexSpaced(links.lan.sent()[0].frame).substr(21, 5), "A8 00");
    EXPECT_EQ(protocol::HexSpaced(links.lan.sent()[1].frame).substr(21, 5), "18 01");
}

// A closed or vanished line ends an RS-232 walk with one message; rows after it are not
// addressed.
TEST(SendFlowsPorted, ALostLineEndsTheWalk) {
    Links links(4);
    links.serial.queueFaults(2, {MemoryFault::DeviceVanishes});
    PageRecorder page(4);
    ControlRequest req;
    req.flow = &flows::FlowOf(ButtonFlowId::On);
    req.targets = Rows({kTakes, kTakes, kTakes, kTakes}, false);
    req.lan = false;
    req.clock = &links.clock;
    const ControlRun run = RunControlFlow(req, {&links.lan, &links.serial}, page);
    EXPECT_EQ(links.calls(), std::vector<std::string>{"S0"});  // row 1's write failed
    ASSERT_EQ(run.rows.size(), 3u);
    EXPECT_EQ(run.rows[1].outcome, Outcome::WriteFailed);
    EXPECT_EQ(run.rows[2].outcome, Outcome::PortClosed);
    EXPECT_EQ(page.messages, std::vector<std::string>{"COM Port Closed "});
}

// Over RS-232 each row sent to is followed by 300 ms, except for the flows that never
// paused; the wait runs on the flow's clock (the window thread never waits).
TEST(SendFlowsPorted, PauseAfterEachRs232Row) {
    const auto gap = [](ButtonFlowId id) {
        Links links(2);
        PageRecorder page(2);
        ControlRequest req;
        req.flow = &flows::FlowOf(id);
        req.targets = Rows({kTakes, kTakes}, false);
        req.lan = false;
        req.clock = &links.clock;
        RunControlFlow(req, {&links.lan, &links.serial}, page);
        EXPECT_EQ(links.serial.sent().size(), 2u);
        return links.serial.sent().size() == 2 ? links.serial.sent()[1].at - links.serial.sent()[0].at
                                               : transport::Millis{-1};
    };
    const transport::Millis none = gap(ButtonFlowId::KeyLock);
    EXPECT_GT(none, transport::Millis{0});
    EXPECT_EQ(gap(ButtonFlowId::On), none + transport::Millis{300});
    EXPECT_EQ(gap(ButtonFlowId::IrLock), none + transport::Millis{300});  // once a plain sleep
    EXPECT_EQ(gap(ButtonFlowId::Cms), none);
}

// A row's result reaches the page when its exchange is over, before the pause that follows
// it: the row shown in flight during the pause is not the one already done.
TEST(SendFlowsPorted, ARowsResultGoesOutBeforeThePauseAfterIt) {
    struct Timed final : PageRecorder {
        Timed(transport::VirtualClock& c) : PageRecorder(2), clock(c) {}
        void rowFinished(const RowResult& r, int index) override {
            PageRecorder::rowFinished(r, index);
            finishedAt.push_back(clock.now());
        }
        transport::VirtualClock& clock;
        std::vector<transport::Millis> finishedAt;
    };
    for (const bool wall : {false, true}) {
        SCOPED_TRACE(wall ? "wall settings" : "On");
        Links links(2);
        Timed page(links.clock);
        if (wall) {
            WallRequest req;
            req.command = WallCommand::Settings;
            req.targets = Rows({kTakes, kTakes}, false);
            req.lan = false;
            req.clock = &links.clock;
            RunWallFlow(req, {&links.lan, &links.serial}, page);
        } else {
            ControlRequest req;
            req.flow = &flows::FlowOf(ButtonFlowId::On);
            req.targets = Rows({kTakes, kTakes}, false);
            req.lan = false;
            req.clock = &links.clock;
            RunControlFlow(req, {&links.lan, &links.serial}, page);
        }
        ASSERT_EQ(links.serial.sent().size(), 2u);
        ASSERT_EQ(page.finishedAt.size(), 2u);
        EXPECT_LE(page.finishedAt[0] + transport::Millis{300}, links.serial.sent()[1].at);
    }
}

// The wall's mode and settings go to every row whatever is selected; its power to the
// selected row only. Power leaves the TX box alone.
TEST(SendFlowsPorted, WallCommandsAddressRowsByTheirRule) {
    struct Case {
        WallCommand command;
        int selected;
        std::size_t rows;
        std::vector<std::string> calls;
        std::string tx;  // the TX box afterwards, with Show off (it held "old")
    };
    const Case cases[] = {
        {WallCommand::WallOn, 1, 2, {"L0", "L1"}, ""},
        {WallCommand::PowerOn, 1, 2, {"L1"}, "old"},
        {WallCommand::PowerOn, -1, 0, {}, "old"},  // beeps
        {WallCommand::WallOff, -1, 0, {}, ""},     // beeps
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        Links links(static_cast<int>(c.rows));
        PageRecorder page(c.rows);
        page.show = false;
        page.tx = "old";
        WallRequest req;
        req.command = c.command;
        req.targets = Rows(std::vector<std::string>(c.rows, kTakes), true);
        req.selected = c.selected;
        req.clock = &links.clock;
        RunWallFlow(req, {&links.lan, &links.serial}, page);
        EXPECT_EQ(links.calls(), c.calls);
        EXPECT_EQ(page.beeps, c.rows == 0 ? 1 : 0);
        EXPECT_EQ(page.tx, c.tx);
    }
}

TEST(SendFlowsPorted, LanAllRowsInOrderAFailingRowDoesNotStopTheRest) {
    auto first = StartLanDisplay("127.0.85.41");
    auto third = StartLanDisplay("127.0.85.42");
    transport::LanLink lan;
    MemoryLink serial(MemoryLink::Style::Serial);
    PageRecorder page(3);
    ControlRequest req;
    req.flow = &flows::FlowOf(ButtonFlowId::On);
    req.targets = {LanTarget("127.0.85.41", "KA-55", "1"), LanTarget("127.0.85.220", "KA-55", "2"),
                   LanTarget("127.0.85.42", "KA-55", "3")};
    RunControlFlow(req, {&lan, &serial}, page);

    EXPECT_EQ(page.links, (std::vector<std::string>{"Y", "N", "Y"}));
    ASSERT_TRUE(first->waitForLog(1, 2s));
    ASSERT_TRUE(third->waitForLog(1, 2s));
    EXPECT_EQ(first->log()[0].addressedId, 1);
    EXPECT_EQ(third->log()[0].addressedId, 3);
    EXPECT_LE(first->log()[0].time, third->log()[0].time);
    EXPECT_EQ(page.tx, "A6 03 00 00 00 04 01 18 02 BA ");  // as sealed for the last row
}

TEST(SendFlowsPorted, LanSelectedRowOnly) {
    auto first = StartLanDisplay("127.0.85.43");
    auto second = StartLanDisplay("127.0.85.44");
    transport::LanLink lan;
    transport::SerialPort closed;
    transport::SerialLink serial(closed);
    PageRecorder page(2);
    ControlRequest req;
    req.flow = &flows::FlowOf(ButtonFlowId::On);
    req.targets = {LanTarget("127.0.85.43", "KA-55", "1"), LanTarget("127.0.85.44", "KA-55", "2")};
    req.selected = 1;
    RunControlFlow(req, {&lan, &serial}, page);
    ASSERT_TRUE(second->waitForLog(1, 2s));
    EXPECT_EQ(second->log()[0].hex, "A6 02 00 00 00 04 01 18 02 BB ");
    EXPECT_FALSE(first->waitForLog(1, 200ms));
    EXPECT_TRUE(page.messages.empty());  // the serial sender stayed out of it (port closed)
}

TEST(SendFlowsPorted, Rs232RowsEachWithItsOwnIdOneMessageWhenClosed) {
    auto line = StartSerialLine({Config("KA-55", 1), Config("KA-55", 2)});
    transport::SerialPort port;
    transport::SerialLink serial(port);
    MemoryLink lan;
    ControlRequest req;
    req.flow = &flows::FlowOf(ButtonFlowId::On);
    req.targets = {SerialTarget("1"), SerialTarget("2")};
    req.lan = false;

    PageRecorder closed(2);
    const ControlRun refused = RunControlFlow(req, {&lan, &serial}, closed);
    EXPECT_EQ(closed.messages, std::vector<std::string>{"COM Port Closed "});
    EXPECT_EQ(refused.rows.size(), 1u);  // the second row was not even addressed
    EXPECT_EQ(refused.frame[1], 1);

    ASSERT_EQ(port.open(Path(*line)), transport::OpenResult::Opened);
    PageRecorder open(2);
    RunControlFlow(req, {&lan, &serial}, open);
    ASSERT_TRUE(line->waitForLog(2, 1s));
    EXPECT_EQ(line->log()[0].hex, "A6 01 00 00 00 04 01 18 02 B8 ");
    EXPECT_EQ(line->log()[1].hex, "A6 02 00 00 00 04 01 18 02 BB ");
    EXPECT_TRUE(open.messages.empty());
}

// A second press while a flow runs does nothing; the next press after it runs again.
TEST(SendFlowsPorted, AJobWhileAnotherRunsIsRefused) {
    QObject page;
    FlowWorker worker(&page);
    std::atomic<bool> release{false};
    std::atomic<int> ran{0};
    bool done = false;
    ASSERT_TRUE(worker.start(
        [&] {
            while (!release) std::this_thread::sleep_for(1ms);
            ++ran;
        },
        [&] { done = true; }));
    EXPECT_TRUE(worker.running());
    EXPECT_FALSE(worker.start([&] { ran += 10; }, {}));
    release = true;
    ASSERT_TRUE(dravik::testing::WaitUntil([&] { return done; }, std::chrono::seconds(5)));
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(ran, 1);
    done = false;
    EXPECT_TRUE(worker.start([&] { ++ran; }, [&] { done = true; }));
    dravik::testing::WaitUntil([&] { return done; }, std::chrono::seconds(5));
    EXPECT_EQ(ran, 2);
}

}  // namespace
}  // namespace dravik::flows::testing
