// "IP Scan", "Search" and "Check Monitor" through the "Tilvane" page's own buttons.
#include "page_fixture.h"

#include "controls/ipv4_edit.h"
#include "pages/wall/video_wall_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

namespace dravik::discovery_pages {
namespace {

using discovery::Presence;
using discovery::fake::ShortReply;
using discovery::fake::TextReply;

constexpr int kIpScan = 1155;
constexpr int kCheckMonitor = 1186;
constexpr int kIdSearch = 1188;
constexpr int kSerialRadio = 1137;
constexpr int kOpen = 1126;

class WallDiscovery : public PageFixture<pages::VideoWallPage> {
protected:
    // .5 LM-55 (not a wall model), .6 KC-46D, .7 a short reply ("unknow"), .8 tag then KA-55.
    void AddDisplays() {
        AddDisplay(*scan, 5, 1, TextReply(1, 0xA2, "LM-55"));
        AddDisplay(*scan, 6, 2, TextReply(2, 0xA2, "KC-46D"));
        AddDisplay(*scan, 7, 3, ShortReply(3));
        AddDisplay(*scan, 8, 1, TextReply(1, 0xA2, "ORV"), TextReply(1, 0xA1, "KA-55 "));
    }
    QString Status() { return Child<QLabel>("statusLabel")->text(); }
    bool ScanButtonEnabled() { return Button(kIpScan)->isEnabled(); }
    bool Finished() { return feedback.messages.contains("Scan Finished"); }
    // A scan is over once "Scan Finished" came and its last probe thread ended.
    void WaitForScanEnd() {
        ASSERT_TRUE(WaitUntil([&] { return Finished() && !page().scanRunning(); }));
    }
    void SelectModel(const QString& model) { Child<QComboBox>("modelCombo")->setCurrentText(model); }
    void OpenLine(const std::string& device) {
        Click(kSerialRadio);
        Child<QComboBox>("portCombo")->setCurrentText(QString::fromStdString(device));
        Click(kOpen);
        ASSERT_TRUE(page().serialPort().isOpen()) << feedback.messages.join('|').toStdString();
        feedback.clear();
        feedback.events.clear();
    }
};

TEST_F(WallDiscovery, ScanListsWallModelsFromTheLocalSubnet) {
    AddDisplays();
    MakePage();
    page().appendRow("192.0.2.1", "KA-55", "0", "", "1");
    page().setIpAddressText("10.1.1.1");  // typed; the scan uses the lookup's address

    Click(kIpScan);
    EXPECT_TRUE(page().rowCount() == 0 || page().cellText(0, 0).startsWith("127.0.10."));
    EXPECT_FALSE(ScanButtonEnabled());
    EXPECT_EQ(Status(), "Connecting...");
    EXPECT_EQ(page().ipAddressText(), "127.0.10.7");
    EXPECT_EQ(page().gridButtons().size(), 1u);  // laid out again for the 1 x 1 matrix

    WaitForScanEnd();
    // LM-55 and "unknow" are no wall models.
    EXPECT_EQ(SortedRows(), (QStringList{"127.0.10.6|KC-46D|Y|0|2", "127.0.10.8|KA-55|Y|0|1"}));
    EXPECT_TRUE(ScanButtonEnabled());
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(feedback.messages, QStringList{"Scan Finished"});
    EXPECT_EQ(scan->tests(), 254);  // 127.0.10.1 .. 127.0.10.254
}

TEST_F(WallDiscovery, LockModelKeepsOnlyTheSelectedModel) {
    AddDisplays();
    MakePage();
    Child<QCheckBox>("lockModelCheck")->setChecked(true);
    const struct {
        const char* model;
        QStringList rows;
    } cases[] = {
        {"KA-55", {"127.0.10.8|KA-55|Y|0|1"}},
        {"KC-46D", {"127.0.10.6|KC-46D|Y|0|2"}},
        {"LM-55", {}},  // selected, but still no wall model
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        feedback.clear();
        SelectModel(c.model);
        Click(kIpScan);
        WaitForScanEnd();
        EXPECT_EQ(SortedRows(), c.rows);
    }
}

TEST_F(WallDiscovery, FailedLookupIsALanErrorAndNothingElse) {
    AddDisplays();
    MakePage();
    const struct {
        std::optional<QString> address;
        const char* shown;
    } cases[] = {{std::nullopt, "0.0.0.0"}, {QStringLiteral("127.0.0.1"), "127.0.0.1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        feedback.events.clear();
        page().removeAllRows();
        page().appendRow("192.0.2.1", "KA-55", "0", "", "1");
        lookup.address = c.address;
        Click(kIpScan);
        EXPECT_EQ(feedback.events, QStringList{" LAN ERROR !! "});
        EXPECT_EQ(page().ipAddressText(), c.shown);
        EXPECT_EQ(page().rowCount(), 1);
        EXPECT_TRUE(ScanButtonEnabled());
        EXPECT_EQ(Status(), "");
    }
    EXPECT_EQ(backendRequests.load(), 0);
    EXPECT_EQ(scan->tests(), 0);
}

TEST_F(WallDiscovery, ScanErrorReEnablesTheButton) {
    for (const bool withBackends : {true, false}) {
        SCOPED_TRACE(withBackends ? "every probe fails" : "no scan backends");
        feedback.clear();
        scan = std::make_shared<ScanNet>();
        scan->net.SetDefault(Presence::Error);
        MakePage(withBackends);
        Click(kIpScan);
        ASSERT_TRUE(WaitUntil([&] { return !page().scanRunning() && Status() == " SCAN ERROR ! "; }));
        EXPECT_TRUE(ScanButtonEnabled());
        EXPECT_EQ(page().rowCount(), 0);
        EXPECT_TRUE(feedback.messages.isEmpty());  // no "Scan Finished" after errors
        EXPECT_EQ(scan->tests(), withBackends ? 254 : 0);
    }
}

// The first scan's error re-enables the button while that scan still runs (its host 254 is
// held back); the second press clears the list and the first scan says nothing more.
TEST_F(WallDiscovery, SecondPressDuringARunningScanStartsAfresh) {
    scan->net.SetPresence(Host(1), Presence::Error);
    AddDisplay(*scan, 5, 2, TextReply(2, 0xA2, "KC-46D"));
    scan->hold = {Host(254)};
    scan->holdOnce = true;
    MakePage();

    Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return scan->held() == 1 && page().rowCount() == 1; }));
    EXPECT_TRUE(ScanButtonEnabled());
    EXPECT_EQ(Status(), " SCAN ERROR ! ");
    EXPECT_TRUE(page().scanRunning());

    Click(kIpScan);
    EXPECT_FALSE(ScanButtonEnabled());
    WaitForScanEnd();
    EXPECT_EQ(SortedRows(), QStringList{"127.0.10.5|KC-46D|Y|0|2"});
    EXPECT_EQ(feedback.messages, QStringList{"Scan Finished"});
    EXPECT_EQ(scan->tests(), 2 * 254);
}

TEST_F(WallDiscovery, DestroyingThePageDuringAScanEndsIt) {
    AddDisplays();
    scan->hold = {Host(3), Host(9)};
    MakePage();
    Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return scan->held() == 2; }));
    DestroyPage();  // cancels and joins: returns, and no probe starts afterwards
    const int probed = scan->tests();
    QTest::qWait(100);
    EXPECT_EQ(scan->tests(), probed);
    EXPECT_LT(probed, 254);
}

TEST_F(WallDiscovery, SwitchingToRs232StopsTheScan) {
    AddDisplay(*scan, 5, 2, TextReply(2, 0xA2, "KC-46D"));
    AddDisplay(*scan, 200, 2, TextReply(2, 0xA2, "KC-46D"));
    scan->hold = {Host(100)};
    MakePage();
    Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return scan->held() == 1 && page().rowCount() == 1; }));
    Click(kSerialRadio);
    ASSERT_TRUE(WaitUntil([&] { return !page().scanRunning(); }));
    QTest::qWait(50);
    // Host 200 is never listed; the button stays as RS-232 mode wants it.
    EXPECT_EQ(SortedRows(), QStringList{"127.0.10.5|KC-46D|Y|0|2"});
    EXPECT_FALSE(ScanButtonEnabled());
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(feedback.messages.isEmpty());
}

// Displays at 2, 11 and 17 with the A1-style identity of the KA-xxQ models.
TEST_F(WallDiscovery, SearchListsOnlyRepliesNamingTheSelectedModel) {
    auto line = StartLine({SerialDisplay(2, "KA-55Q"), SerialDisplay(11, "KA-55Q", true), SerialDisplay(17, "KA-65Q")});
    MakePage();
    OpenLine(line->devicePath());
    SelectModel("KA-55Q");
    page().appendRow("4", "KA-55", "", "0", "4");

    bool enabledDuring = true;
    QString statusDuring;
    QTimer::singleShot(1500, &page(), [&] {
        enabledDuring = Button(kIdSearch)->isEnabled();
        statusDuring = Status();
    });
    Click(kIdSearch);

    EXPECT_EQ(SortedRows(), QStringList{"2|KA-55Q|Y|0|2"});
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(statusDuring, "Search.....");
    EXPECT_TRUE(Button(kIdSearch)->isEnabled());
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(feedback.events, QStringList{" Search End"});
    EXPECT_EQ(Heard(*line), SearchQueries(0xA1));
}

TEST_F(WallDiscovery, SearchRefusesAModelOfTheOtherPage) {
    auto line = StartLine({SerialDisplay(2, "LM-50")});
    MakePage();
    OpenLine(line->devicePath());
    page().appendRow("4", "KA-55", "", "0", "4");
    SelectModel("LM-50");  // typed: the Control page knows it, this page does not
    Click(kIdSearch);
    EXPECT_EQ(feedback.events, QStringList{"LM-50 No This Function or Unsupported !\r\n"});
    EXPECT_EQ(SortedRows(), QStringList{"4|KA-55||0|4"});
    EXPECT_TRUE(Button(kIdSearch)->isEnabled());
    EXPECT_TRUE(line->log().empty());
}

TEST_F(WallDiscovery, CheckMonitorMarksRowsByTheirModel) {
    auto line = StartLine({SerialDisplay(2, "KA-55Q"), SerialDisplay(11, "KA-55Q", true), SerialDisplay(17, "KA-65Q")});
    MakePage();
    OpenLine(line->devicePath());
    page().appendRow("2", "KA-55Q", "", "0", "2");
    page().appendRow("11", "KA-55Q", "", "0", "11");  // answers "ORVANTE KA-55Q"
    page().appendRow("5", "KC-46D", "", "0", "5");    // nobody there
    page().appendRow("17", "KA-65Q", "", "0", "17");
    page().appendRow("3", "LM-50", "", "0", "3");     // refused here: "N", nothing sent

    Click(kCheckMonitor);
    EXPECT_EQ(Column(2), (QStringList{"Y", "N", "N", "Y", "N"}));
    EXPECT_EQ(Heard(*line), (std::vector<std::string>{"2:A1", "11:A1", "5:A2", "17:A1"}));
    // The TX box shows the last query; a reply is never shown on this page.
    EXPECT_EQ(Child<QLineEdit>("txEdit")->text().toStdString(), line->log().back().hex);
    EXPECT_EQ(feedback.events, QStringList{"LM-50 No This Function or Unsupported !\r\n"});
    feedback.events.clear();

    // A selected row is checked alone.
    line->clearLog();
    page().setCellText(1, 2, "");
    Child<QTableWidget>("wallTargetList")->selectRow(0);
    page().setCellText(0, 2, "");
    Click(kCheckMonitor);
    EXPECT_EQ(Column(2), (QStringList{"Y", "", "N", "Y", "N"}));
    EXPECT_EQ(Heard(*line), std::vector<std::string>{"2:A1"});

    // An empty list: the beep, then the message.
    page().removeAllRows();
    Click(kCheckMonitor);
    EXPECT_EQ(feedback.events, (QStringList{"<beep>", "NO Monitor Data"}));
}

}  // namespace
}  // namespace dravik::discovery_pages
