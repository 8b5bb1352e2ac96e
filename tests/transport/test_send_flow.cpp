// Send flows A, B and C: which rows get which frame, in which order, with which pauses.
// LAN displays on 127.0.4.41 .. 127.0.4.79; nothing listens on 127.0.4.220 .. 127.0.4.239.
#include "transport/send_flow.h"

#include "transport/pump_wait.h"

#include "fake_context.h"
#include "sim_helpers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace dravik::transport::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Frame;

const Frame kPowerOn = Frame::Build(0x18, {0x02});

void Post(std::function<void()> f) { QMetaObject::invokeMethod(qApp, std::move(f), Qt::QueuedConnection); }

TEST(PumpWait, ProcessesEventsOnlyFromTenMillisecondsOn) {
    for (const auto& [ms, processed] : std::vector<std::pair<int, bool>>{{-10, false}, {9, false}, {10, true}}) {
        bool ran = false;
        Post([&] { ran = true; });
        PumpWait(ms);
        EXPECT_EQ(ran, processed) << ms;
        QCoreApplication::processEvents();
    }
    QElapsedTimer clock;
    clock.start();
    PumpWait(250);
    EXPECT_GE(clock.elapsed(), 240);
}

enum class Flow { A, B, C };

TEST(SendFlows, AddressRowsByTheRules) {
    struct Case {
        Flow flow;
        bool lan;
        int selected;
        QStringList models;  // one row each; the selector refuses "X" and is silent on "S"
        FlowOptions options;
        QStringList calls;  // L<row>/S<row>: LAN/serial sender; the serial one fails on row 1
        QStringList refused;
    };
    FlowOptions chosenOnly, allRows, refuseSelected;
    chosenOnly.selectedChosenInterfaceOnly = true;
    allRows.ignoreSelection = true;
    refuseSelected.refuseSelectedUnsupported = true;

    const std::vector<Case> cases{
        {Flow::A, true, -1, {"a", "", "c"}, {}, {"L0", "L1", "L2"}, {}},
        {Flow::A, false, -1, {"a", "b", "c"}, {}, {"S0", "S1"}, {}},  // stops at the failure
        {Flow::A, true, 1, {"a", "b", "c"}, {}, {"L1", "S1"}, {}},     // both senders
        {Flow::A, true, 1, {"a", "b"}, chosenOnly, {"L1"}, {}},
        {Flow::A, false, 1, {"a", "b"}, chosenOnly, {"S1"}, {}},
        {Flow::A, true, 1, {"a", "b"}, allRows, {"L0", "L1"}, {}},
        {Flow::A, true, -1, {}, {}, {}, {}},  // beeps
        {Flow::B, true, -1, {"a", "X", "S", "d"}, {}, {"a", "L0", "X", "S", "d", "L3"}, {"X"}},
        {Flow::B, false, -1, {"X", "S", "c"}, {}, {"X", "S", "c", "S2"}, {"X"}},
        {Flow::B, true, 0, {"X", "b"}, {}, {"X"}, {"X"}},
        {Flow::B, true, 0, {"X", "b"}, refuseSelected, {"X"}, {"X", "X"}},
        {Flow::B, true, 0, {"S", "b"}, refuseSelected, {"S"}, {"S"}},
        {Flow::B, false, 1, {"X", "b"}, refuseSelected, {"b", "L1", "S1"}, {}},
        {Flow::C, true, -1, {"a", "X"}, {}, {"a", "L0", "X", "L1"}, {}},
        {Flow::C, false, 1, {"a", "X"}, {}, {"X", "L1", "S1"}, {}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        Case c = cases[i];
        FakeContext ctx;
        ctx.lan = c.lan;
        ctx.selected = c.selected;
        ctx.tx = "old";
        for (const QString& m : c.models) ctx.addRow("127.0.0.1", m);
        QStringList calls;
        c.options.serialPause = RowPause::None;
        c.options.lanSend = [&](ExchangeContext&, int row) { calls << "L" + QString::number(row); };
        c.options.serialSend = [&](ExchangeContext&, int row) {
            calls << "S" + QString::number(row);
            return row != 1;
        };
        auto select = [&](const QString& model) {
            calls << model;
            if (model == "X") RefuseCommand(ctx, model);
            return model != "X" && model != "S";
        };
        auto rebuild = [&](int, const QString& model) { calls << model; };

        switch (c.flow) {
            case Flow::A: EXPECT_TRUE(SendToTargets(ctx, c.options)); break;
            case Flow::B: EXPECT_TRUE(SendByModel(ctx, select, c.options)); break;
            case Flow::C: EXPECT_TRUE(SendRebuilt(ctx, rebuild, c.options)); break;
        }
        EXPECT_EQ(calls, c.calls);
        QStringList refusals;
        for (const QString& m : c.refused) refusals << m + " No This Function or unsupported !\r\n";
        EXPECT_EQ(ctx.fb.messages, refusals);
        EXPECT_EQ(ctx.messageLine, refusals.value(refusals.size() - 1));
        EXPECT_EQ(ctx.fb.beeps, c.models.isEmpty() ? 1 : 0);
        EXPECT_EQ(ctx.tx, "");  // cleared first, before the beep too
        EXPECT_FALSE(ctx.busy());
    }
}

TEST(SendFlows, PauseAfterEachRs232Row) {
    // An event posted while row 0 is sent runs before row 1 only with the pumping pause.
    for (const RowPause pause : {RowPause::Pumping, RowPause::Sleep, RowPause::None}) {
        FakeContext ctx;
        ctx.lan = false;
        ctx.addRow("1", "a");
        ctx.addRow("2", "b");
        QStringList calls;
        FlowOptions options;
        options.serialPause = pause;
        options.serialSend = [&](ExchangeContext&, int row) {
            calls << "S" + QString::number(row);
            if (row == 0) Post([&] { calls << "event"; });
            return true;
        };
        SendToTargets(ctx, options);
        QCoreApplication::processEvents();
        EXPECT_EQ(calls, pause == RowPause::Pumping ? QStringList({"S0", "event", "S1"})
                                                    : QStringList({"S0", "S1", "event"}));
    }
}

TEST(SendFlows, LanAllRowsInOrderAFailingRowDoesNotStopTheRest) {
    auto first = StartLanDisplay("127.0.4.41");
    auto third = StartLanDisplay("127.0.4.42");
    FakeContext ctx;
    ctx.addRow("127.0.4.41", "KA-55", "1");
    ctx.addRow("127.0.4.220", "KA-55", "2");
    ctx.addRow("127.0.4.42", "KA-55", "3");
    ctx.frame = kPowerOn;

    EXPECT_TRUE(SendToTargets(ctx));

    EXPECT_EQ(QStringList({ctx.link(0), ctx.link(1), ctx.link(2)}), QStringList({"Y", "N", "Y"}));
    ASSERT_TRUE(first->waitForLog(1, 2s));
    ASSERT_TRUE(third->waitForLog(1, 2s));
    EXPECT_EQ(first->log()[0].addressedId, 1);
    EXPECT_EQ(third->log()[0].addressedId, 3);
    EXPECT_LE(first->log()[0].time, third->log()[0].time);
    EXPECT_EQ(ctx.tx, "A6 03 00 00 00 04 01 18 02 BA ");  // as sealed for the last row
}

TEST(SendFlows, LanSelectedRowOnly) {
    auto first = StartLanDisplay("127.0.4.43");
    auto second = StartLanDisplay("127.0.4.44");
    FakeContext ctx;
    ctx.addRow("127.0.4.43", "KA-55", "1");
    ctx.addRow("127.0.4.44", "KA-55", "2");
    ctx.selected = 1;
    ctx.frame = kPowerOn;
    EXPECT_TRUE(SendToTargets(ctx));
    ASSERT_TRUE(second->waitForLog(1, 2s));
    EXPECT_EQ(second->log()[0].hex, "A6 02 00 00 00 04 01 18 02 BB ");
    EXPECT_FALSE(first->waitForLog(1, 200ms));
    EXPECT_TRUE(ctx.fb.messages.isEmpty());  // the serial sender stayed out of it (port closed)
}

TEST(SendFlows, Rs232RowsEachWithItsOwnIdOneMessageWhenClosed) {
    auto line = StartSerialLine({Config("KA-55", 1), Config("KA-55", 2)});
    FakeContext ctx;
    ctx.lan = false;
    ctx.addRow("1", "KA-55");
    ctx.addRow("2", "KA-55");
    ctx.frame = kPowerOn;

    EXPECT_TRUE(SendToTargets(ctx));
    EXPECT_EQ(ctx.fb.messages, QStringList{"COM Port Closed "});
    EXPECT_EQ(ctx.frame[1], 1);  // the second row was not even addressed

    ASSERT_EQ(ctx.port.open(Path(*line)), OpenResult::Opened);
    ctx.fb.messages.clear();
    EXPECT_TRUE(SendToTargets(ctx));
    ASSERT_TRUE(line->waitForLog(2, 1s));
    EXPECT_EQ(line->log()[0].hex, "A6 01 00 00 00 04 01 18 02 B8 ");
    EXPECT_EQ(line->log()[1].hex, "A6 02 00 00 00 04 01 18 02 BB ");
    EXPECT_TRUE(ctx.fb.messages.isEmpty());
}

TEST(SendFlows, PressDuringAPumpingWaitIsIgnored) {
    auto line = StartSerialLine({Config("KA-55", 1), Config("KA-55", 2)});
    FakeContext ctx;
    ctx.lan = false;
    ASSERT_EQ(ctx.port.open(Path(*line)), OpenResult::Opened);
    ctx.addRow("1", "KA-55");
    ctx.addRow("2", "KA-55");
    ctx.frame = kPowerOn;

    // A second command arrives while the first row's reply wait pumps events.
    std::vector<int> second;
    QTimer::singleShot(100, [&] { second = {ctx.busy(), SendToTargets(ctx)}; });
    EXPECT_TRUE(SendToTargets(ctx));

    EXPECT_EQ(second, (std::vector<int>{1, 0}));
    ASSERT_TRUE(line->waitForLog(2, 1s));
    EXPECT_FALSE(line->waitForLog(3, 300ms));
    EXPECT_FALSE(ctx.busy());
    EXPECT_TRUE(SendToTargets(ctx));  // the next press after the flow runs again
}

TEST(SendFlows, RowsRemovedDuringAWaitAreNotAddressed) {
    FakeContext ctx;
    ctx.lan = false;
    for (const char* id : {"1", "2", "3"}) ctx.addRow(id, "KA-55");
    QStringList calls;
    FlowOptions options;
    options.serialSend = [&](ExchangeContext&, int row) {
        calls << "S" + QString::number(row);
        if (row == 0) Post([&] { ctx.rows.resize(1); });
        return true;
    };
    SendToTargets(ctx, options);
    EXPECT_EQ(calls, QStringList{"S0"});
}

}  // namespace
}  // namespace dravik::transport::testing
