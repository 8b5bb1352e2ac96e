// "IP Scan", "Search" and "Check Monitor" through the "Control" page's own buttons.
#include "page_fixture.h"

#include "controls/ipv4_edit.h"
#include "pages/control/control_page.h"

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
constexpr int kCheckMonitor = 1185;
constexpr int kIdSearch = 1187;
constexpr int kSerialRadio = 1137;
constexpr int kOpen = 1126;

class ControlDiscovery : public PageFixture<pages::ControlPage> {
protected:
    // .5 LM-55, .6 KC-46D, .7 a short reply at ID 3 ("unknow"), .8 the tag "ORV" then "LM-55 ".
    void AddDisplays() {
        AddDisplay(*scan, 5, 1, TextReply(1, 0xA2, "LM-55"));
        AddDisplay(*scan, 6, 2, TextReply(2, 0xA2, "KC-46D"));
        AddDisplay(*scan, 7, 3, ShortReply(3));
        AddDisplay(*scan, 8, 1, TextReply(1, 0xA2, "ORV"), TextReply(1, 0xA1, "LM-55 "));
    }
    QString Status() { return Child<QLabel>("statusLine")->text(); }
    bool ScanButtonEnabled() { return Button(kIpScan)->isEnabled(); }
    bool Finished() { return feedback.messages.contains("Scan Finished"); }
    void WaitForScanEnd() {
        ASSERT_TRUE(WaitUntil([&] { return Finished() && !page().scanRunning(); }));
    }
    void SetIpBox(const QString& address) { Child<controls::Ipv4Edit>("ipAddressEdit")->setAddress(address); }
    void SelectModel(const QString& model) { Child<QComboBox>("modelCombo")->setCurrentText(model); }
    void OpenLine(const std::string& device) {
        Click(kSerialRadio);
        Child<QComboBox>("portCombo")->setCurrentText(QString::fromStdString(device));
        Click(kOpen);
        ASSERT_TRUE(page().serialPort().isOpen()) << feedback.messages.join('|').toStdString();
        feedback.clear();
        feedback.events.clear();
    }
    // "Add Device" in RS-232 mode: the ID and the model as typed into the combos.
    void AddRow(const QString& id, const QString& model) {
        Child<QComboBox>("monitorIdCombo")->setCurrentText(id);
        SelectModel(model);
        page().AddDevice();
    }
};

TEST_F(ControlDiscovery, ScanListsEveryReportFromTheSubnetOfTheIpBox) {
    AddDisplays();
    MakePage();
    SetIpBox("127.0.10.77");
    page().AddDevice();  // cleared by the scan
    ASSERT_EQ(page().rowCount(), 1);
    SelectModel("KC-46D");  // "Lock Model" unticked: the model does not matter

    Click(kIpScan);
    EXPECT_TRUE(page().rowCount() == 0 || page().cellText(0, 0).startsWith("127.0.10."));
    EXPECT_FALSE(ScanButtonEnabled());
    EXPECT_EQ(Status(), "Connecting...");

    WaitForScanEnd();
    EXPECT_EQ(SortedRows(), (QStringList{"127.0.10.5|LM-55|Y|0|1", "127.0.10.6|KC-46D|Y|0|2",
                                         "127.0.10.7|unknow|Y|0|3", "127.0.10.8|LM-55|Y|0|1"}));
    EXPECT_TRUE(ScanButtonEnabled());
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(feedback.messages, QStringList{"Scan Finished"});
    EXPECT_EQ(scan->tests(), 254);
    EXPECT_EQ(lookup.address, QStringLiteral("127.0.10.7"));  // the box, not the lookup, was scanned
}

TEST_F(ControlDiscovery, LockModelKeepsOnlyTheSelectedModel) {
    AddDisplays();
    MakePage();
    SetIpBox("127.0.10.1");
    const struct {
        bool lock;
        const char* model;
        QStringList rows;
    } cases[] = {
        {true, "LM-55", {"127.0.10.5|LM-55|Y|0|1", "127.0.10.8|LM-55|Y|0|1"}},
        {true, "LM-65", {}},
        {true, "KC-46D", {"127.0.10.6|KC-46D|Y|0|2"}},
        {false, "LM-65", {"127.0.10.5|LM-55|Y|0|1", "127.0.10.6|KC-46D|Y|0|2", "127.0.10.7|unknow|Y|0|3",
                          "127.0.10.8|LM-55|Y|0|1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.model) + (c.lock ? " locked" : " unlocked"));
        feedback.clear();
        Child<QCheckBox>("lockModelCheck")->setChecked(c.lock);
        SelectModel(c.model);
        Click(kIpScan);
        WaitForScanEnd();
        EXPECT_EQ(SortedRows(), c.rows);
    }
}

TEST_F(ControlDiscovery, ScanErrorReEnablesTheButton) {
    for (const bool withBackends : {true, false}) {
        SCOPED_TRACE(withBackends ? "every probe fails" : "no scan backends");
        feedback.clear();
        scan = std::make_shared<ScanNet>();
        scan->net.SetDefault(Presence::Error);
        MakePage(withBackends);
        SetIpBox("127.0.10.1");
        Click(kIpScan);
        ASSERT_TRUE(WaitUntil([&] { return !page().scanRunning() && Status() == " SCAN ERROR ! "; }));
        EXPECT_TRUE(ScanButtonEnabled());
        EXPECT_EQ(page().rowCount(), 0);
        EXPECT_TRUE(feedback.messages.isEmpty());
        EXPECT_EQ(scan->tests(), withBackends ? 254 : 0);
    }
}

TEST_F(ControlDiscovery, DestroyingThePageDuringAScanEndsIt) {
    AddDisplays();
    scan->hold = {Host(3), Host(9)};
    MakePage();
    SetIpBox("127.0.10.1");
    Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return scan->held() == 2; }));
    DestroyPage();
    const int probed = scan->tests();
    QTest::qWait(100);
    EXPECT_EQ(scan->tests(), probed);
    EXPECT_LT(probed, 254);
}

TEST_F(ControlDiscovery, SwitchingToRs232StopsTheScan) {
    AddDisplay(*scan, 5, 2, TextReply(2, 0xA2, "LM-55"));
    AddDisplay(*scan, 200, 2, TextReply(2, 0xA2, "LM-55"));
    scan->hold = {Host(100)};
    MakePage();
    SetIpBox("127.0.10.1");
    Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return scan->held() == 1 && page().rowCount() == 1; }));
    Click(kSerialRadio);
    ASSERT_TRUE(WaitUntil([&] { return !page().scanRunning(); }));
    QTest::qWait(50);
    EXPECT_EQ(page().rowCount(), 0);  // the RS-232 list, with no LAN rows added to it
    EXPECT_FALSE(ScanButtonEnabled());
    EXPECT_EQ(Status(), "");
    EXPECT_TRUE(feedback.messages.isEmpty());
}

// Displays at 2, 11 and 17; the one at 11 puts the maker name before its model.
TEST_F(ControlDiscovery, SearchListsEveryAnsweringIdWithoutTheMakerName) {
    auto line = StartLine({SerialDisplay(2, "LM-55"), SerialDisplay(11, "LM-55", true), SerialDisplay(17, "KA-55")});
    MakePage();
    OpenLine(line->devicePath());
    AddRow("4", "LM-55");
    SelectModel("LM-55");

    bool enabledDuring = true;
    QString statusDuring;
    QTimer::singleShot(1500, &page(), [&] {
        enabledDuring = Button(kIdSearch)->isEnabled();
        statusDuring = Status();
    });
    Click(kIdSearch);

    EXPECT_EQ(Column(0), (QStringList{"2", "11", "17"}));
    EXPECT_EQ(Column(1), (QStringList{"LM-55", "LM-55", "KA-55"}));
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "Y"}));
    EXPECT_EQ(Column(4), (QStringList{"2", "11", "17"}));
    EXPECT_FALSE(enabledDuring);
    EXPECT_EQ(statusDuring, "Search.....");
    EXPECT_TRUE(Button(kIdSearch)->isEnabled());
    EXPECT_EQ(Status(), "");
    EXPECT_EQ(feedback.events, QStringList{" Search End"});
    EXPECT_EQ(Heard(*line), SearchQueries(0xA1));
}

TEST_F(ControlDiscovery, SearchWithARefusedModelChangesNothing) {
    auto line = StartLine({SerialDisplay(2, "LM-55")});
    MakePage();
    OpenLine(line->devicePath());
    AddRow("4", "LM-55");
    SelectModel("XR-9");
    Click(kIdSearch);
    const QString refusal = "XR-9 No This Function or unsupported !\r\n";
    EXPECT_EQ(feedback.events, QStringList{refusal});
    EXPECT_EQ(Child<QLineEdit>("messageEdit")->text(), refusal);
    EXPECT_EQ(Column(0), QStringList{"4"});
    EXPECT_EQ(Status(), "Search.....");
    EXPECT_TRUE(Button(kIdSearch)->isEnabled());
    EXPECT_TRUE(line->log().empty());
}

TEST_F(ControlDiscovery, CheckMonitorMarksRowsAndEchoesWithTheShowFlag) {
    auto line = StartLine({SerialDisplay(2, "LM-55"), SerialDisplay(11, "LM-55", true), SerialDisplay(9, "LM-55 ")});
    MakePage();
    OpenLine(line->devicePath());
    AddRow("2", "LM-55");
    AddRow("11", "LM-55");  // answers "ORVANTE LM-55"
    AddRow("9", "LM-55");   // answers "LM-55 "
    AddRow("5", "LM-55");   // nobody there
    const auto tx = [&] { return Child<QLineEdit>("txEdit")->text(); };
    const auto rx = [&] { return Child<QLineEdit>("receiveEdit")->text(); };

    Click(kCheckMonitor);
    EXPECT_EQ(Column(2), (QStringList{"Y", "N", "N", "N"}));
    EXPECT_EQ(tx().toStdString(), line->log().back().hex);
    // The receive box holds the last reply that came (from ID 9).
    EXPECT_TRUE(rx().startsWith("21 09 00 00 ")) << rx().toStdString();
    EXPECT_TRUE(feedback.events.isEmpty());

    // Without the Show flag neither box is written; the TX box is still cleared.
    Child<QCheckBox>("showCheck")->setChecked(false);
    page().readControls();
    Child<QLineEdit>("receiveEdit")->setText("old");
    Child<QTableWidget>("targetList")->selectRow(0);
    line->clearLog();
    Click(kCheckMonitor);
    EXPECT_EQ(Column(2), (QStringList{"Y", "N", "N", "N"}));
    EXPECT_EQ(Heard(*line), std::vector<std::string>{"2:A1"});
    EXPECT_EQ(tx(), "");
    EXPECT_EQ(rx(), "old");

    // An empty list: the beep, then the message.
    page().targetRows().clear();
    feedback.events.clear();
    Click(kCheckMonitor);
    EXPECT_EQ(feedback.events, (QStringList{"<beep>", "NO Monitor Data"}));
}

// "Search" and "Check Monitor" do nothing in LAN mode, and a press of either while one of
// them runs waits its turn; the window keeps taking events meanwhile.
TEST_F(ControlDiscovery, SearchAndCheckDoNothingInLanModeAndWaitWhileOneRuns) {
    auto line = StartLine({SerialDisplay(2, "LM-55")});
    MakePage();
    const auto press = [&](int id) { QMetaObject::invokeMethod(Button(id), "clicked", Q_ARG(bool, false)); };
    {
        SCOPED_TRACE("LAN mode");
        SetIpBox("127.0.10.1");
        page().AddDevice();
        press(kIdSearch);
        press(kCheckMonitor);
        EXPECT_FALSE(page().flowRunning());
        EXPECT_EQ(page().rowCount(), 1);
        EXPECT_TRUE(feedback.events.isEmpty());
    }
    OpenLine(line->devicePath());
    SelectModel("LM-55");
    QTest::mouseClick(Button(kIdSearch), Qt::LeftButton);  // runs on the worker
    ASSERT_TRUE(page().flowRunning());
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    // The list was emptied for the search: a check that ran would beep "NO Monitor Data".
    ASSERT_TRUE(WaitUntil([&] { return page().rowCount() == 0; }));
    press(kCheckMonitor);
    press(kIdSearch);
    EXPECT_EQ(page().commandsWaiting(), 2);
    ASSERT_TRUE(WaitUntil([&] { return !page().busy() && page().commandsWaiting() == 0; }, 120s));
    EXPECT_GT(ticks, 20);
    EXPECT_EQ(Column(0), QStringList{"2"});
    // The search, then the check of the row it found, then the second search.
    EXPECT_EQ(feedback.events, (QStringList{" Search End", " Search End"}));
    std::vector<std::string> heard = SearchQueries(0xA1);
    heard.push_back("2:A1");
    for (const std::string& q : SearchQueries(0xA1)) heard.push_back(q);
    EXPECT_EQ(Heard(*line), heard);
}

}  // namespace
}  // namespace dravik::discovery_pages
