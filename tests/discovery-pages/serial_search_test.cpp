// "Search" and "Check Monitor" as page-independent functions, on a stand-in page, over
// pseudo-terminal lines, with both pages' options and shortened waits.
#include "discovery/serial_search.h"
#include "discovery_support.h"

#include "transport/serial_port.h"

#include <array>
#include <vector>

namespace dravik::discovery_pages {
namespace {

using discovery::RowCells;
using discovery::SerialDiscoveryOptions;

// A page with a five-column list and every box the discovery code writes to.
class FakePage final : public transport::ExchangeContext, public discovery::DiscoveryView {
public:
    // transport::ExchangeContext
    bool lanMode() const override { return lan; }
    int rowCount() const override { return static_cast<int>(rows.size()); }
    int selectedRow() const override { return selected; }
    QString cellText(int row, int col) const override {
        return row >= 0 && row < rowCount() && col >= 0 && col < 5 ? rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] : QString();
    }
    void setCellText(int row, int col, const QString& text) override {
        ASSERT_TRUE(row >= 0 && row < rowCount() && col >= 0 && col < 5) << row << ',' << col;
        rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = text;
    }
    void setStatus(const QString& text) override {
        status = text;
        statuses << text;
    }
    void setTxText(const QString& text) override { tx = text; }
    QString txText() const override { return tx; }
    void setRxText(const QString& text) override { rx = text; }
    bool showFlag() const override { return show; }
    void writeControls() override {}
    void focusTargetList() override {}
    void setMessageLine(const QString& text) override { messageLine = text; }
    transport::Feedback& feedback() override { return fb; }
    protocol::Frame& frameBuffer() override { return frame; }
    transport::ReplyBuffer& replyBuffer() override { return reply; }
    transport::SerialPort& serialPort() override { return port; }
    bool decodeReply(const QString&) override { return false; }

    // discovery::DiscoveryView
    QString selectedModel() const override { return model; }
    bool lockModelTicked() const override { return false; }
    void removeAllRows() override { rows.clear(); }
    void appendRow(const RowCells& cells) override { rows.push_back(cells); }
    void setIpScanEnabled(bool) override {}
    void setIdSearchEnabled(bool enabled) override { searchStates.push_back(enabled); }

    void Add(const QString& id, const QString& rowModel) { rows.push_back({id, rowModel, "", "", id}); }
    QStringList Column(int col) const {
        QStringList out;
        for (const auto& r : rows) out << r[static_cast<std::size_t>(col)];
        return out;
    }
    void Open(const std::string& device) {
        ASSERT_EQ(port.open(QString::fromStdString(device)), transport::OpenResult::Opened) << device;
    }

    bool lan = false;
    bool show = true;
    int selected = -1;
    QString model = QStringLiteral("LM-55");
    std::vector<RowCells> rows;
    QString status, tx, rx, messageLine;
    QStringList statuses;
    std::vector<bool> searchStates;
    EventFeedback fb;
    protocol::Frame frame;
    transport::ReplyBuffer reply;
    transport::SerialPort port;
};

// The pages' options with every wait shortened; what is compared stays as it is.
SerialDiscoveryOptions Quick(SerialDiscoveryOptions o) {
    o.searchFirstWaitMs = 30;
    o.searchSecondWaitMs = 10;
    o.checkFirstWaitMs = 40;
    o.checkSecondWaitMs = 10;
    o.checkPauseMs = 10;
    return o;
}
const SerialDiscoveryOptions kControl = Quick(discovery::ControlPageSerialOptions());
const SerialDiscoveryOptions kWall = Quick(discovery::WallPageSerialOptions());

TEST(SerialSearch, PageOptionsDifferOnlyWhereThePagesDo) {
    const auto c = discovery::ControlPageSerialOptions();
    const auto w = discovery::WallPageSerialOptions();
    EXPECT_EQ(c.page, protocol::IdentityPage::Control);
    EXPECT_EQ(w.page, protocol::IdentityPage::Wall);
    EXPECT_EQ(std::make_tuple(c.searchTextLimit, c.searchFirstWaitMs, c.searchSecondWaitMs, c.checkFirstWaitMs,
                              c.checkSecondWaitMs, c.checkPauseMs),
              std::make_tuple(5, 500, 200, 600, 500, 100));
    EXPECT_EQ(std::make_tuple(w.searchTextLimit, w.searchFirstWaitMs, w.searchSecondWaitMs, w.checkFirstWaitMs,
                              w.checkSecondWaitMs, w.checkPauseMs),
              std::make_tuple(4, 500, 300, 700, 500, 150));
    EXPECT_TRUE(c.stripMakerName && !c.requireSelectedModel && c.checkShowsReply);
    EXPECT_TRUE(!w.stripMakerName && w.requireSelectedModel && !w.checkShowsReply);
    EXPECT_EQ(c.checkPause, discovery::CheckPause::Sleep);
    EXPECT_EQ(w.checkPause, discovery::CheckPause::Pumping);
}

// Displays at 2, 11 and 17; the one at 11 puts the maker name before its model.
TEST(SerialSearch, ListsTheAnsweringIdsByPage) {
    auto line = StartLine({SerialDisplay(2, "LM-55"), SerialDisplay(11, "LM-55", true), SerialDisplay(17, "LM-65")});
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        QStringList ids, models;
    } cases[] = {
        // The maker name goes; every answer is listed.
        {"control", kControl, {"2", "11", "17"}, {"LM-55", "LM-55", "LM-65"}},
        // Only replies that name the selected model exactly.
        {"wall", kWall, {"2"}, {"LM-55"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        line->clearLog();
        FakePage page;
        page.Open(line->devicePath());
        page.Add("9", "KA-55");  // cleared by the search
        discovery::SearchMonitorIds(page, page, c.options);

        EXPECT_EQ(page.Column(0), c.ids);
        EXPECT_EQ(page.Column(1), c.models);
        EXPECT_EQ(page.Column(2), QStringList(c.ids.size(), "Y"));
        EXPECT_EQ(page.Column(3), QStringList(c.ids.size(), "0"));
        EXPECT_EQ(page.Column(4), c.ids);
        // LM-55 takes the A1 00 query on both pages: IDs 1..25 in turn.
        EXPECT_EQ(Heard(*line), SearchQueries(0xA1));
        EXPECT_EQ(page.statuses, (QStringList{"Search.....", ""}));
        EXPECT_EQ(page.fb.events, QStringList{" Search End"});
        EXPECT_EQ(page.searchStates, (std::vector<bool>{false, true}));
    }
}

// A reply whose byte 4 is 5 carries text under the limit 4 but not under the Control
// page's search limit 5.
TEST(SerialSearch, ByteFourOfFiveIsTextEverywhereButInTheControlSearch) {
    ScriptedLine line([](const Bytes& f) {
        return f[1] == 3 ? ReplyWithLength(3, f[7], 5, "KA-55") : Bytes{};
    });
    ASSERT_TRUE(line.start());
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        QStringList searchIds;
    } cases[] = {{"control", kControl, {}}, {"wall", kWall, {"3"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePage page;
        page.Open(line.devicePath());
        page.model = "KA-55";
        discovery::SearchMonitorIds(page, page, c.options);
        EXPECT_EQ(page.Column(0), c.searchIds);

        page.rows.clear();
        page.Add("3", "KA-55");
        discovery::CheckMonitors(page, c.options);
        EXPECT_EQ(page.Column(2), QStringList{"Y"});
    }
}

TEST(SerialSearch, RefusedModelLeavesTheListAndSendsNothing) {
    auto line = StartLine({SerialDisplay(1, "LM-55")});
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        QString refusal, messageLine;
    } cases[] = {
        {"control", kControl, "XR-9 No This Function or unsupported !\r\n", "XR-9 No This Function or unsupported !\r\n"},
        {"wall", kWall, "XR-9 No This Function or Unsupported !\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakePage page;
        page.Open(line->devicePath());
        page.model = "XR-9";
        page.Add("4", "LM-55");
        discovery::SearchMonitorIds(page, page, c.options);
        EXPECT_EQ(page.Column(0), QStringList{"4"});
        EXPECT_EQ(page.fb.events, QStringList{c.refusal});
        EXPECT_EQ(page.messageLine, c.messageLine);
        EXPECT_EQ(page.status, "Search.....");  // the refusal ends it there
        EXPECT_TRUE(page.searchStates.empty());
    }
    // A model the Control page knows but the wall page refuses.
    FakePage wall;
    wall.Open(line->devicePath());
    wall.model = "LM-50";
    discovery::SearchMonitorIds(wall, wall, kWall);
    EXPECT_EQ(wall.fb.events, QStringList{"LM-50 No This Function or Unsupported !\r\n"});
    EXPECT_TRUE(line->log().empty());
}

TEST(SerialSearch, DoesNothingInLanModeOrWhileAFlowRuns) {
    auto line = StartLine({SerialDisplay(1, "LM-55")});
    for (const bool lan : {true, false}) {
        FakePage page;
        page.Open(line->devicePath());
        page.lan = lan;
        page.Add("1", "LM-55");
        {
            transport::FlowGuard running(page);
            discovery::SearchMonitorIds(page, page, kControl);
            discovery::CheckMonitors(page, kWall);
        }
        if (lan) {
            discovery::SearchMonitorIds(page, page, kControl);
            discovery::CheckMonitors(page, kControl);
        }
        EXPECT_EQ(page.Column(0), QStringList{"1"});
        EXPECT_EQ(page.Column(2), QStringList{""});
        EXPECT_TRUE(page.fb.events.isEmpty());
    }
    EXPECT_TRUE(line->log().empty());
}

TEST(SerialSearch, ClosedPortSaysSoAndListsNothing) {
    FakePage page;
    page.Add("1", "LM-55");
    discovery::SearchMonitorIds(page, page, kWall);
    EXPECT_EQ(page.fb.events, QStringList{"COM Port Closed "});
    EXPECT_EQ(page.Column(0), QStringList{"1"});

    // "Check Monitor" gets no answer through a closed port.
    page.fb.events.clear();
    discovery::CheckMonitors(page, kControl);
    EXPECT_EQ(page.Column(2), QStringList{"N"});
    EXPECT_TRUE(page.fb.events.isEmpty());
}

TEST(CheckMonitor, MarksEachRowByItsModelName) {
    auto line = StartLine({SerialDisplay(2, "LM-55"), SerialDisplay(11, "LM-55", true), SerialDisplay(9, "LM-55 "),
                           SerialDisplay(17, "KA-55"), SerialDisplay(18, "KC-55D3")});
    const struct {
        const char* name;
        SerialDiscoveryOptions options;
        QStringList links;
        QStringList messages;
        const char* lastQuery;
        bool showsReply;
    } cases[] = {
        // KC-55D3 gets form A2 on the Control page, A1 on the wall page: it answers both.
        {"control", kControl, {"Y", "N", "N", "N", "Y", "Y", "N"}, {"QQ-1 No This Function or unsupported !\r\n"},
         "18:A2", true},
        {"wall", kWall, {"Y", "N", "N", "N", "Y", "Y", "N"}, {"QQ-1 No This Function or Unsupported !\r\n"},
         "18:A1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        line->clearLog();
        FakePage page;
        page.Open(line->devicePath());
        page.Add("2", "LM-55");
        page.Add("11", "LM-55");    // answers "ORVANTE LM-55"
        page.Add("9", "LM-55");     // answers "LM-55 "
        page.Add("5", "LM-55");     // nobody there
        page.Add("17", "KA-55");
        page.Add("18", "KC-55D3");
        page.Add("3", "QQ-1");      // refused: one refusal, "N", nothing sent
        discovery::CheckMonitors(page, c.options);

        EXPECT_EQ(page.Column(2), c.links);
        EXPECT_EQ(page.fb.events, c.messages);
        EXPECT_EQ(Heard(*line), (std::vector<std::string>{"2:A1", "11:A1", "9:A1", "5:A1", "17:A2", c.lastQuery}));
        // The TX box shows the last query that went out.
        EXPECT_EQ(page.tx.toStdString(), line->log().back().hex);
        // The last reply lands in the reply buffer; only the Control page shows it.
        EXPECT_GT(page.reply.count, 0);
        EXPECT_EQ(!page.rx.isEmpty(), c.showsReply);
    }
}

}  // namespace
}  // namespace dravik::discovery_pages
