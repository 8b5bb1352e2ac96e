// The Control page's buttons through RunControlFlow: what each one does with the TX box, the
// refusals, the rows it walks and a closed COM port. Nobody answers on the LAN link (every
// connect is refused) and the COM port stays closed; time is virtual.
#include "flows/control_flow.h"

#include "transport/memory_link.h"
#include "transport/serial_link.h"

#include "page_recorder.h"

#include <gtest/gtest.h>

#include <set>

namespace dravik::flows::testing {
namespace {

using Id = flows::ButtonFlowId;

// LM-43: every command here gets a frame. JSV-4302QH: refused for HDMI, the levels, the
// locks and reset; it still takes CMS.
const std::string kFull = "LM-43";
const std::string kCmsOnly = "JSV-4302QH";

struct Bench {
    transport::VirtualClock clock;
    transport::MemoryLink lan{transport::MemoryLink::Style::Lan, &clock};  // no peers: refused
    transport::SerialPort closed;
    transport::SerialLink serial{closed, clock};
};

std::vector<targets::Target> Rows(const std::vector<std::string>& models, bool lan) {
    std::vector<targets::Target> out;
    for (std::size_t r = 0; r < models.size(); ++r) {
        out.push_back(lan ? LanTarget("127.0.85." + std::to_string(150 + r), models[r])
                          : SerialTarget(std::to_string(r + 1), models[r]));
    }
    return out;
}

ControlRun Press(Id id, bool lan, int selected, const std::vector<std::string>& models, PageRecorder& page,
                 Bench& bench) {
    ControlRequest req;
    req.flow = &flows::FlowOf(id);
    req.targets = Rows(models, lan);
    req.selected = selected;
    req.lan = lan;
    req.clock = &bench.clock;
    return RunControlFlow(req, {&bench.lan, &bench.serial}, page);
}

TEST(ButtonFlowsPorted, RunTheButtonsFlowOnTheRows) {
    struct Case {
        Id id;
        bool lan;
        int selected;
        std::vector<std::string> models;
        // C controls read, >i row started, <i outcome row done (each row's RowResult).
        std::vector<std::string> events;
        int refusals;    // refusal message boxes
        int portClosed;  // "COM Port Closed " message boxes
        std::string tx;  // the TX box afterwards (it held "old"; no echo)
    };
    const std::string refused = "<0 refused-for-model";
    const std::vector<Case> cases{
        // CMS and Custom leave the TX box alone; the other by-model buttons clear it.
        {Id::Cms, true, -1, {kCmsOnly}, {"C", ">0", "<0 connect-refused"}, 0, 0, "old"},
        {Id::Custom, true, -1, {kCmsOnly}, {"C", ">0", "<0 connect-refused"}, 0, 0, "old"},
        {Id::Hdmi2, true, -1, {kCmsOnly, kFull}, {">0", refused, "C", ">1", "<1 connect-refused"}, 1, 0, ""},
        // One selected row without a frame: HDMI 1 and the IR lock show the refusal again.
        {Id::IrLock, true, 0, {kCmsOnly, kFull}, {">0", refused}, 2, 0, ""},
        {Id::Hdmi1, true, 1, {kFull, kCmsOnly}, {">1", "<1 refused-for-model"}, 2, 0, ""},
        {Id::KeyLock, true, 0, {kCmsOnly, kFull}, {">0", refused}, 1, 0, ""},
        // A closed port ends a by-model walk and the brightness walk after their first row.
        {Id::Hdmi2, false, -1, {kFull, kFull}, {"C", ">0", "<0 port-closed"}, 0, 1, ""},
        {Id::Brightness, false, -1, {kFull, kFull}, {">0", "C", "<0 port-closed"}, 0, 1, ""},
        // Reset walks on past a closed port and past a refused row, never clearing TX.
        {Id::Reset, false, -1, {kFull, kCmsOnly, kFull},
         {">0", "<0 port-closed", ">1", "<1 refused-for-model", ">2", "<2 port-closed"}, 1, 2, "old"},
        {Id::Player, false, -1, {kFull, kFull}, {">0", "<0 port-closed", ">1", "<1 port-closed"}, 0, 2, "old"},
        {Id::Reset, true, 1, {kFull, kFull}, {">1", "<1 connect-refused"}, 0, 0, "old"},
        // Off sends to every row, whatever its lookup gave.
        {Id::Off, true, -1, {"ZZ-1", kFull}, {"C", ">0", "<0 connect-refused", "C", ">1", "<1 connect-refused"}, 0, 0, ""},
        // Fixed frames: the controls once (not for INFO); M.Player and OPS never read them.
        {Id::PowerKey, true, -1, {kFull, kFull}, {"C", ">0", "<0 connect-refused", ">1", "<1 connect-refused"}, 0, 0, ""},
        {Id::InfoKey, true, -1, {kFull}, {">0", "<0 connect-refused"}, 0, 0, ""},
        {Id::MediaPlayer, true, -1, {kFull}, {">0", "<0 connect-refused"}, 0, 0, ""},
        {Id::Ops, true, -1, {"KA-55", kFull}, {">0", "<0 connect-refused", ">1", "<1 refused-for-model"}, 1, 0, ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(::testing::Message() << i << " " << flows::FlowOf(c.id).name);
        Bench bench;
        PageRecorder page(c.models.size());
        page.show = false;
        page.tx = "old";
        Press(c.id, c.lan, c.selected, c.models, page, bench);
        EXPECT_EQ(page.events, c.events);
        EXPECT_EQ(page.tx, c.tx);
        EXPECT_EQ(page.refusals, c.refusals);
        EXPECT_EQ(page.count("COM Port Closed "), c.portClosed);
    }
}

TEST(ButtonFlowsPorted, StatusQueriesAskTheSelectedRowOnly) {
    struct Case {
        Id id;
        int rows;
        std::string tx;
        std::string messageLine;
        std::vector<std::string> messages;
        int beeps;
    };
    const std::vector<Case> cases{
        {Id::Temperature, 0, "", "old", {}, 1},
        {Id::Temperature, 2, "", "old", {"Please Select One Monitor"}, 0},
        {Id::Hours, 2, "old", "old", {"Please Select One Monitor"}, 0},
        {Id::BacklightQuery, 2, "old", "", {"Please Select One Monitor"}, 0},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        Bench bench;
        PageRecorder page(static_cast<std::size_t>(c.rows));
        page.tx = "old";
        page.messageLine = "old";
        Press(c.id, true, -1, std::vector<std::string>(static_cast<std::size_t>(c.rows), kFull), page, bench);
        EXPECT_TRUE(page.events.empty());
        EXPECT_EQ(page.tx, c.tx);
        EXPECT_EQ(page.messageLine, c.messageLine);
        EXPECT_EQ(page.messages, c.messages);
        EXPECT_EQ(page.beeps, c.beeps);
        EXPECT_TRUE(bench.lan.sent().empty());
        EXPECT_EQ(bench.lan.opens(), 0);
    }

    // A selected row is asked over the LAN; nothing answers there.
    Bench bench;
    PageRecorder page(2);
    page.show = false;
    Press(Id::Hours, true, 1, {kFull, kFull}, page, bench);
    EXPECT_EQ(page.events, (std::vector<std::string>{">1", "<1 connect-refused"}));
    EXPECT_EQ(page.links, (std::vector<std::string>{"0", "N"}));
}

// The table the flows run from: one entry per button, each name once.
TEST(ButtonFlowsMoved, EveryButtonHasOneEntryAndAUniqueName) {
    std::set<Id> ids;
    std::set<std::string_view> names;
    for (const flows::ButtonFlow& flow : flows::ButtonFlows()) {
        EXPECT_TRUE(ids.insert(flow.id).second) << flow.name;
        EXPECT_TRUE(names.insert(flow.name).second) << flow.name;
        EXPECT_EQ(flows::FindButtonFlow(flow.name), &flow);
        EXPECT_EQ(&flows::FlowOf(flow.id), &flow);
        EXPECT_EQ(flow.kind == flows::FlowKind::Fixed, flow.fixed != nullptr) << flow.name;
    }
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(Id::Ops) + 1);
    EXPECT_EQ(flows::FindButtonFlow("wall-on"), nullptr);
}

}  // namespace
}  // namespace dravik::flows::testing
