// "IP Scan", "Search" and "Check Monitor" through each page's own buttons. What both pages do
// alike is one typed test over the two pages; what each does its own way follows per page.
#include "page_fixture.h"

#include "controls/ipv4_edit.h"
#include "pages/control/control_page.h"
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

// What tells the two pages apart here.
struct ControlTraits {
    using Page = pages::ControlPage;
    static constexpr const char* kName = "Control";
    static constexpr int kCheckMonitor = 1185;
    static constexpr int kIdSearch = 1187;
    static constexpr const char* kStatusLabel = "statusLine";
    // The model the scan fixtures' display at .8 names after its tag.
    static constexpr const char* kTaggedModel = "LM-55 ";
    // A model the page keeps from a scan.
    static constexpr const char* kListedModel = "LM-55";
    // The Control page scans the subnet of its IP box.
    static void PrepareScan(Page& page) {
        dravik::testing::Named<controls::Ipv4Edit>(&page, "ipAddressEdit")->setAddress("127.0.10.1");
    }
    // The RS-232 list after a switch mid-scan, with no LAN rows added to it.
    static QStringList RowsAfterSwitch() { return {}; }
};

struct WallTraits {
    using Page = pages::VideoWallPage;
    static constexpr const char* kName = "Wall";
    static constexpr int kCheckMonitor = 1186;
    static constexpr int kIdSearch = 1188;
    static constexpr const char* kStatusLabel = "statusLabel";
    static constexpr const char* kTaggedModel = "KA-55 ";
    static constexpr const char* kListedModel = "KC-46D";
    // The wall page scans the lookup's subnet.
    static void PrepareScan(Page&) {}
    // The wall page keeps its list; host 200 is never listed.
    static QStringList RowsAfterSwitch() { return {"127.0.10.5|KC-46D|Y|0|2"}; }
};

template <typename Traits>
class Discovery : public PageFixture<typename Traits::Page> {
protected:
    using Fixture = PageFixture<typename Traits::Page>;
    static constexpr int kCheckMonitor = Traits::kCheckMonitor;
    static constexpr int kIdSearch = Traits::kIdSearch;

    // .5 LM-55, .6 KC-46D, .7 a short reply at ID 3 ("unknow"), .8 the tag "ORV" then the
    // page's tagged model.
    void AddDisplays() {
        AddDisplay(*this->scan, 5, 1, TextReply(1, 0xA2, "LM-55"));
        AddDisplay(*this->scan, 6, 2, TextReply(2, 0xA2, "KC-46D"));
        AddDisplay(*this->scan, 7, 3, ShortReply(3));
        AddDisplay(*this->scan, 8, 1, TextReply(1, 0xA2, "ORV"), TextReply(1, 0xA1, Traits::kTaggedModel));
    }
    QString Status() { return this->template Child<QLabel>(Traits::kStatusLabel)->text(); }
    bool ScanButtonEnabled() { return this->Button(kIpScan)->isEnabled(); }
    bool Finished() { return this->feedback.messages.contains("Scan Finished"); }
    // A scan is over once "Scan Finished" came and its last probe thread ended.
    void WaitForScanEnd() {
        ASSERT_TRUE(WaitUntil([&] { return Finished() && !this->page().scanRunning(); }));
    }
    void StartScan() {
        Traits::PrepareScan(this->page());
        this->Click(kIpScan);
    }
    void SetIpBox(const QString& address) {
        this->template Child<controls::Ipv4Edit>("ipAddressEdit")->setAddress(address);
    }
    void SelectModel(const QString& model) { this->template Child<QComboBox>("modelCombo")->setCurrentText(model); }
    // "Add Device" in RS-232 mode (Control page): the ID and the model as typed into the combos.
    void AddRow(const QString& id, const QString& model) {
        this->template Child<QComboBox>("monitorIdCombo")->setCurrentText(id);
        SelectModel(model);
        this->page().AddDevice();
    }
    // "Search" pressed and waited for: the button is disabled and the status line reads
    // "Search....." while it runs, both are restored after, and every ID was asked once.
    void SearchAndExpectItsCourse(const sim::SerialLine& line, std::uint8_t query) {
        bool enabledDuring = true;
        QString statusDuring;
        QTimer::singleShot(1500, &this->page(), [&] {
            enabledDuring = this->Button(kIdSearch)->isEnabled();
            statusDuring = Status();
        });
        this->Click(kIdSearch);
        EXPECT_FALSE(enabledDuring);
        EXPECT_EQ(statusDuring, "Search.....");
        EXPECT_TRUE(this->Button(kIdSearch)->isEnabled());
        EXPECT_EQ(Status(), "");
        EXPECT_EQ(this->feedback.events, QStringList{" Search End"});
        EXPECT_EQ(Heard(line), SearchQueries(query));
    }
};

using Pages = ::testing::Types<ControlTraits, WallTraits>;
struct PageName {
    template <typename Traits>
    static std::string GetName(int) {
        return Traits::kName;
    }
};
TYPED_TEST_SUITE(Discovery, Pages, PageName);

TYPED_TEST(Discovery, ScanErrorReEnablesTheButton) {
    for (const bool withBackends : {true, false}) {
        SCOPED_TRACE(withBackends ? "every probe fails" : "no scan backends");
        this->feedback.clear();
        this->scan = std::make_shared<ScanNet>();
        this->scan->net.SetDefault(Presence::Error);
        this->MakePage(withBackends);
        this->StartScan();
        ASSERT_TRUE(WaitUntil([&] { return !this->page().scanRunning() && this->Status() == " SCAN ERROR ! "; }));
        EXPECT_TRUE(this->ScanButtonEnabled());
        EXPECT_EQ(this->page().rowCount(), 0);
        EXPECT_TRUE(this->feedback.messages.isEmpty());  // no "Scan Finished" after errors
        EXPECT_EQ(this->scan->tests(), withBackends ? 254 : 0);
    }
}

TYPED_TEST(Discovery, DestroyingThePageDuringAScanEndsIt) {
    this->AddDisplays();
    this->scan->hold = {Host(3), Host(9)};
    this->MakePage();
    this->StartScan();
    ASSERT_TRUE(WaitUntil([&] { return this->scan->held() == 2; }));
    this->DestroyPage();  // cancels and joins: returns, and no probe starts afterwards
    const int probed = this->scan->tests();
    QTest::qWait(100);
    EXPECT_EQ(this->scan->tests(), probed);
    EXPECT_LT(probed, 254);
}

TYPED_TEST(Discovery, SwitchingToRs232StopsTheScan) {
    AddDisplay(*this->scan, 5, 2, TextReply(2, 0xA2, TypeParam::kListedModel));
    AddDisplay(*this->scan, 200, 2, TextReply(2, 0xA2, TypeParam::kListedModel));
    this->scan->hold = {Host(100)};
    this->MakePage();
    this->StartScan();
    ASSERT_TRUE(WaitUntil([&] { return this->scan->held() == 1 && this->page().rowCount() == 1; }));
    this->Click(kSerialRadio);
    ASSERT_TRUE(WaitUntil([&] { return !this->page().scanRunning(); }));
    QTest::qWait(50);
    EXPECT_EQ(this->SortedRows(), TypeParam::RowsAfterSwitch());
    EXPECT_FALSE(this->ScanButtonEnabled());  // as RS-232 mode wants it
    EXPECT_EQ(this->Status(), "");
    EXPECT_TRUE(this->feedback.messages.isEmpty());
}

// --- The Control page --------------------------------------------------------------------

using ControlDiscovery = Discovery<ControlTraits>;

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

// Displays at 2, 11 and 17; the one at 11 puts the maker name before its model.
TEST_F(ControlDiscovery, SearchListsEveryAnsweringIdWithoutTheMakerName) {
    auto line = StartLine({SerialDisplay(2, "LM-55"), SerialDisplay(11, "LM-55", true), SerialDisplay(17, "KA-55")});
    MakePage();
    OpenLine(line->devicePath());
    AddRow("4", "LM-55");
    SelectModel("LM-55");
    SearchAndExpectItsCourse(*line, 0xA1);
    EXPECT_EQ(Column(0), (QStringList{"2", "11", "17"}));
    EXPECT_EQ(Column(1), (QStringList{"LM-55", "LM-55", "KA-55"}));
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "Y"}));
    EXPECT_EQ(Column(4), (QStringList{"2", "11", "17"}));
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

// --- The wall page -----------------------------------------------------------------------

using WallDiscovery = Discovery<WallTraits>;

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

// Displays at 2, 11 and 17 with the A1-style identity of the KA-xxQ models.
TEST_F(WallDiscovery, SearchListsOnlyRepliesNamingTheSelectedModel) {
    auto line = StartLine({SerialDisplay(2, "KA-55Q"), SerialDisplay(11, "KA-55Q", true), SerialDisplay(17, "KA-65Q")});
    MakePage();
    OpenLine(line->devicePath());
    SelectModel("KA-55Q");
    page().appendRow("4", "KA-55", "", "0", "4");
    SearchAndExpectItsCourse(*line, 0xA1);
    EXPECT_EQ(SortedRows(), QStringList{"2|KA-55Q|Y|0|2"});
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
