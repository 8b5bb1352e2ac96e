// The Control page's buttons run through RunButtonFlow: what each one does with the TX box,
// the refusals, the rows it walks and a closed COM port. Nothing listens on
// 127.0.11.1 .. 127.0.11.9 (connections are refused at once); the COM port stays closed.
#include "transport/command_flows.h"

#include "transport/texts.h"

#include "fake_context.h"

#include <gtest/gtest.h>

#include <set>

namespace dravik::transport::testing {
namespace {

using Id = ButtonFlowId;

// LM-43: every command here gets a frame. JSV-4302QH: refused for HDMI, the levels, the
// locks and reset; it still takes CMS.
const QString kFull = "LM-43";
const QString kCmsOnly = "JSV-4302QH";

// What the hooks saw, in order: C read controls, ?<row><lookup><outcome>, ><row> started,
// <<row> sent, -<row> skipped.
struct Recorder {
    QStringList events;

    ButtonFlowHooks hooks() {
        ButtonFlowHooks h;
        h.readControls = [this] { events << "C"; };
        h.lookedUp = [this](int row, FrameLookup lookup, protocol::Outcome outcome, const QString&) {
            const char* l = lookup == FrameLookup::Row ? "R" : lookup == FrameLookup::Query ? "Q" : "S";
            const char* o = outcome == protocol::Outcome::Frame ? "f" : outcome == protocol::Outcome::Refused ? "r" : "s";
            events << QString("?%1%2%3").arg(row).arg(l, o);
        };
        h.rowStarting = [this](int row) { events << QString(">%1").arg(row); };
        h.rowSent = [this](int row) { events << QString("<%1").arg(row); };
        h.rowSkipped = [this](int row) { events << QString("-%1").arg(row); };
        return h;
    }
};

TEST(ButtonFlows, RunTheButtonsFlowOnTheRows) {
    struct Case {
        Id id;
        bool lan;
        int selected;
        QStringList models;
        QStringList events;
        int refusals;          // refusal message boxes
        int portClosed;        // "COM Port Closed " message boxes
        QString tx;            // the TX box afterwards (it held "old"; no echo)
    };
    const std::vector<Case> cases{
        // CMS and Custom leave the TX box alone; the other by-model buttons clear it.
        {Id::Cms, true, -1, {kCmsOnly}, {"?0Rf", "C", ">0", "<0"}, 0, 0, "old"},
        {Id::Custom, true, -1, {kCmsOnly}, {"?0Rf", "C", ">0", "<0"}, 0, 0, "old"},
        {Id::Hdmi2, true, -1, {kCmsOnly, kFull}, {"?0Rr", "-0", "?1Rf", "C", ">1", "<1"}, 1, 0, ""},
        // One selected row without a frame: HDMI 1 and the IR lock show the refusal again.
        {Id::IrLock, true, 0, {kCmsOnly, kFull}, {"?0Rr", "-0"}, 2, 0, ""},
        {Id::Hdmi1, true, 1, {kFull, kCmsOnly}, {"?1Rr", "-1"}, 2, 0, ""},
        {Id::KeyLock, true, 0, {kCmsOnly, kFull}, {"?0Rr", "-0"}, 1, 0, ""},
        // A closed port ends a by-model walk and the brightness walk after their first row.
        {Id::Hdmi2, false, -1, {kFull, kFull}, {"?0Rf", "C", ">0", "<0"}, 0, 1, ""},
        {Id::Brightness, false, -1, {kFull, kFull}, {">0", "?0Qf", "C", "<0"}, 0, 1, ""},
        // Reset walks on past a closed port and past a refused row, never clearing TX.
        {Id::Reset, false, -1, {kFull, kCmsOnly, kFull}, {"?0Rf", ">0", "<0", "?1Rr", "-1", "?2Rf", ">2", "<2"}, 1, 2, "old"},
        {Id::Player, false, -1, {kFull, kFull}, {"?0Rf", ">0", "<0", "?1Rf", ">1", "<1"}, 0, 2, "old"},
        {Id::Reset, true, 1, {kFull, kFull}, {"?1Rf", ">1", "<1"}, 0, 0, "old"},
        // Off sends to every row, whatever its lookup gave.
        {Id::Off, true, -1, {"ZZ-1", kFull}, {">0", "?0Rf", "C", ">0", "<0", ">1", "?1Rf", "C", ">1", "<1"}, 0, 0, ""},
        // Fixed frames: the controls once (not for INFO); M.Player and OPS never read them.
        {Id::PowerKey, true, -1, {kFull, kFull}, {"C", ">0", "<0", ">1", "<1"}, 0, 0, ""},
        {Id::InfoKey, true, -1, {kFull}, {">0", "<0"}, 0, 0, ""},
        {Id::MediaPlayer, true, -1, {kFull}, {"?0Rf", ">0", "<0"}, 0, 0, ""},
        {Id::Ops, true, -1, {"KA-55", kFull}, {"?0Rf", ">0", "<0", "?1Rr", "-1"}, 1, 0, ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(::testing::Message() << i << " " << std::string(FlowOf(c.id).name));
        FakeContext ctx;
        ctx.lan = c.lan;
        ctx.selected = c.selected;
        ctx.show = false;
        ctx.tx = "old";
        for (int r = 0; r < c.models.size(); ++r) ctx.addRow(QString("127.0.11.%1").arg(r + 1), c.models[r]);
        Recorder rec;
        protocol::PageValues values;
        EXPECT_TRUE(RunButtonFlow(ctx, c.id, values, rec.hooks()));
        EXPECT_EQ(rec.events, c.events);
        EXPECT_EQ(ctx.tx, c.tx);
        int refusals = 0;
        for (const QString& m : ctx.fb.messages) refusals += m.endsWith(" No This Function or unsupported !\r\n");
        EXPECT_EQ(refusals, c.refusals);
        EXPECT_EQ(ctx.fb.messages.count(texts::kPortClosed), c.portClosed);
        EXPECT_FALSE(ctx.busy());
    }
}

TEST(ButtonFlows, StatusQueriesAskTheSelectedRowOnly) {
    struct Case {
        Id id;
        int rows;
        int selected;
        QString tx;
        QString messageLine;
        QStringList messages;
        int beeps;
    };
    const std::vector<Case> cases{
        {Id::Temperature, 0, -1, "", "old", {}, 1},
        {Id::Temperature, 2, -1, "", "old", {texts::kSelectOneMonitor}, 0},
        {Id::Hours, 2, -1, "old", "old", {texts::kSelectOneMonitor}, 0},
        {Id::BacklightQuery, 2, -1, "old", "", {texts::kSelectOneMonitor}, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        FakeContext ctx;
        ctx.selected = c.selected;
        ctx.tx = "old";
        ctx.messageLine = "old";
        for (int r = 0; r < c.rows; ++r) ctx.addRow(QString("127.0.11.%1").arg(r + 1), kFull);
        Recorder rec;
        protocol::PageValues values;
        EXPECT_TRUE(RunButtonFlow(ctx, c.id, values, rec.hooks()));
        EXPECT_TRUE(rec.events.isEmpty()) << rec.events.join(' ').toStdString();
        EXPECT_EQ(ctx.tx, c.tx);
        EXPECT_EQ(ctx.messageLine, c.messageLine);
        EXPECT_EQ(ctx.fb.messages, c.messages);
        EXPECT_EQ(ctx.fb.beeps, c.beeps);
    }

    // A selected row is asked over the LAN; nothing answers there.
    FakeContext ctx;
    ctx.selected = 1;
    ctx.show = false;
    ctx.addRow("127.0.11.1", kFull);
    ctx.addRow("127.0.11.2", kFull);
    Recorder rec;
    protocol::PageValues values;
    EXPECT_TRUE(RunButtonFlow(ctx, Id::Hours, values, rec.hooks()));
    EXPECT_EQ(rec.events, (QStringList{"?1Rf", ">1", "<1"}));
    EXPECT_EQ(ctx.link(0), "0");
}

TEST(ButtonFlows, DoNothingWhileAnotherFlowRuns) {
    for (const ButtonFlow& flow : ButtonFlows()) {
        SCOPED_TRACE(std::string(flow.name));
        FakeContext ctx;
        ctx.tx = "old";
        ctx.addRow("127.0.11.1", kFull);
        Recorder rec;
        protocol::PageValues values;
        const FlowGuard running(ctx);
        EXPECT_FALSE(RunButtonFlow(ctx, flow, values, rec.hooks()));
        EXPECT_TRUE(rec.events.isEmpty());
        EXPECT_EQ(ctx.tx, "old");
        EXPECT_EQ(ctx.link(0), "0");
        EXPECT_TRUE(ctx.fb.messages.isEmpty());
    }
}

TEST(ButtonFlows, EveryButtonHasOneEntryAndAUniqueName) {
    std::set<Id> ids;
    std::set<std::string_view> names;
    for (const ButtonFlow& flow : ButtonFlows()) {
        EXPECT_TRUE(ids.insert(flow.id).second) << flow.name;
        EXPECT_TRUE(names.insert(flow.name).second) << flow.name;
        EXPECT_EQ(FindButtonFlow(flow.name), &flow);
        EXPECT_EQ(&FlowOf(flow.id), &flow);
        EXPECT_EQ(flow.kind == FlowKind::Fixed, flow.fixed != nullptr) << flow.name;
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(Id::Ops) + 1);
    EXPECT_EQ(FindButtonFlow("wall-on"), nullptr);
}

}  // namespace
}  // namespace dravik::transport::testing
