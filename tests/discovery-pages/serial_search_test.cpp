// "Search" and "Check Monitor" as page-independent functions, on a stand-in page, over
// pseudo-terminal lines, with both pages' options and shortened waits: the cases the pages'
// own tests cannot reach through a simulated display.
#include "discovery/serial_search.h"
#include "discovery_support.h"

#include "transport/serial_port.h"

#include <QTimer>

#include <array>
#include <vector>

namespace dravik::discovery_pages {
namespace {

using discovery::RowCells;
using discovery::SerialDiscoveryOptions;

// A page with a five-column list and every box the discovery code writes to.
class FakePage final : public transport::ExchangeContext, public discovery::DiscoveryView {
public:
    bool lanMode() const override { return lan; }
    int rowCount() const override { return static_cast<int>(rows.size()); }
    int selectedRow() const override { return -1; }
    QString cellText(int row, int col) const override { return rows.at(Index(row))[Index(col)]; }
    void setCellText(int row, int col, const QString& text) override { rows.at(Index(row)).at(Index(col)) = text; }
    void setStatus(const QString&) override {}
    void setTxText(const QString&) override {}
    QString txText() const override { return {}; }
    void setRxText(const QString&) override {}
    bool showFlag() const override { return true; }
    void writeControls() override {}
    void focusTargetList() override {}
    void setMessageLine(const QString&) override {}
    transport::Feedback& feedback() override { return fb; }
    protocol::Frame& frameBuffer() override { return frame; }
    transport::ReplyBuffer& replyBuffer() override { return reply; }
    transport::SerialPort& serialPort() override { return port; }
    bool decodeReply(const QString&) override { return false; }

    QString selectedModel() const override { return model; }
    bool lockModelTicked() const override { return false; }
    void removeAllRows() override { rows.clear(); }
    void appendRow(const RowCells& cells) override { rows.push_back(cells); }
    void setIpScanEnabled(bool) override {}
    void setIdSearchEnabled(bool enabled) override { searchEnabled = enabled; }

    static std::size_t Index(int i) { return static_cast<std::size_t>(i); }
    void Add(const QString& id, const QString& rowModel) { rows.push_back({id, rowModel, "", "", id}); }
    QStringList Column(int col) const {
        QStringList out;
        for (const auto& r : rows) out << r.at(Index(col));
        return out;
    }
    void Open(const std::string& device) {
        ASSERT_EQ(port.open(QString::fromStdString(device)), transport::OpenResult::Opened) << device;
    }

    bool lan = false;
    bool searchEnabled = true;
    QString model = QStringLiteral("LM-55");
    std::vector<RowCells> rows;
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

// What one reply gives each page: a "Search" row text (or none) and a "Check Monitor" match
// with the row's model.
TEST(SerialSearch, RepliesByPage) {
    const auto control = discovery::ControlPageSerialOptions();
    const auto wall = discovery::WallPageSerialOptions();
    const std::optional<QString> none;
    const struct {
        const char* name;
        Bytes reply;
        const char* model;  // selected in the combo / the row's model
        std::optional<QString> controlRow, wallRow;
        bool check;
    } cases[] = {
        {"model name", ReplyWithLength(2, 0xA1, 8, "LM-55"), "LM-55", "LM-55", "LM-55", true},
        {"another model", ReplyWithLength(2, 0xA1, 8, "LM-65"), "LM-55", "LM-65", none, false},
        {"maker name first", ReplyWithLength(2, 0xA1, 16, "ORVANTE LM-55"), "LM-55", "LM-55", none, false},
        {"trailing blank", ReplyWithLength(2, 0xA1, 9, "LM-55 "), "LM-55", "LM-55 ", none, false},
        // Byte 4 = 5: text under the limit 4, none under the Control search's limit 5.
        {"byte 4 is 5", ReplyWithLength(3, 0xA2, 5, "KA-55"), "KA-55", none, "KA-55", true},
        {"byte 4 is 4", ReplyWithLength(3, 0xA2, 4, "KA-55"), "KA-55", none, none, false},
        // A text reply with no text still lists the ID on the Control page.
        {"empty text", ReplyWithLength(3, 0xA2, 8, ""), "KA-55", "", none, false},
        {"other command", ReplyWithLength(3, 0x33, 8, "KA-55"), "KA-55", none, none, false},
        {"wrong header", {0x12, 3, 0, 0, 8, 1, 0xA2, 'K', 'A', 0x00}, "KA", none, none, false},
        {"cut short", {0x21, 3, 0, 0, 8, 1}, "", none, none, false},
        {"nothing", {}, "", none, none, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(discovery::SearchRowText(c.reply, c.model, control), c.controlRow);
        EXPECT_EQ(discovery::SearchRowText(c.reply, c.model, wall), c.wallRow);
        EXPECT_EQ(discovery::ReplyNamesModel(c.reply, c.model), c.check);
    }
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

// The operator closes the port during a pumping wait: the search ends there, and its
// button stays disabled as a closed port wants it.
TEST(SerialSearch, PortClosedDuringTheSearchEndsIt) {
    auto line = StartLine({SerialDisplay(20, "LM-55")});
    FakePage page;
    page.Open(line->devicePath());
    QTimer::singleShot(300, [&] { page.port.close(); });
    discovery::SearchMonitorIds(page, page, kControl);
    EXPECT_TRUE(page.rows.empty());
    EXPECT_LT(line->log().size(), 10u);
    EXPECT_EQ(page.fb.events, QStringList{" Search End"});
    EXPECT_FALSE(page.searchEnabled);
}

}  // namespace
}  // namespace dravik::discovery_pages
