// Progress and "Stop" of "IP Scan" and the monitor ID "Search" on both pages, and the
// status line's text as screen readers get it.
#include "page_fixture.h"

#include "controls/ipv4_edit.h"
#include "pages/control/control_page.h"
#include "pages/wall/video_wall_page.h"

#include <QAccessible>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace dravik::discovery_pages {
namespace {

using discovery::fake::TextReply;

constexpr int kIpScan = 1155;

// What differs between the two pages for these tests.
template <typename Page>
struct Traits;
template <>
struct Traits<pages::ControlPage> {
    static constexpr const char* kStatus = "statusLine";
    static constexpr int kIdSearch = 1187;
    static constexpr const char* kModel = "LM-55";  // answered to by the displays below
};
template <>
struct Traits<pages::VideoWallPage> {
    static constexpr const char* kStatus = "statusLabel";
    static constexpr int kIdSearch = 1188;
    static constexpr const char* kModel = "KA-55Q";
};

std::string Addr(int host) { return "127.0.63." + std::to_string(host); }

template <typename Page>
class ProgressStop : public PageFixture<Page> {
protected:
    using T = Traits<Page>;
    using F = PageFixture<Page>;

    Page& Make() {
        this->lookup.address = QStringLiteral("127.0.63.7");
        Page& p = F::MakePage();
        // The Control page scans the subnet in its IP box; the wall page that of the lookup.
        if (auto* box = p.template findChild<controls::Ipv4Edit*>("ipAddressEdit")) box->setAddress("127.0.63.77");
        return p;
    }
    void AddScanDisplay(int host, int id, const std::string& model) {
        discovery::fake::DisplayScript script;
        script.first[id] = TextReply(static_cast<Byte>(id), 0xA2, model);
        this->scan->net.SetPresence(Addr(host), discovery::Presence::Present);
        this->scan->net.SetDisplay(Addr(host), std::move(script));
    }
    QProgressBar* Progress() { return this->template Child<QProgressBar>("discoveryProgress"); }
    QPushButton* StopButton() { return this->template Child<QPushButton>("discoveryStopButton"); }
    QLabel* StatusLine() { return this->template Child<QLabel>(T::kStatus); }
    QString ProgressText() { return Progress()->text(); }
    bool Finished() { return this->feedback.messages.contains("Scan Finished"); }
};

using Pages = ::testing::Types<pages::ControlPage, pages::VideoWallPage>;
class PageNames {
public:
    template <typename P>
    static std::string GetName(int) {
        return std::is_same_v<P, pages::ControlPage> ? "Control" : "Wall";
    }
};
TYPED_TEST_SUITE(ProgressStop, Pages, PageNames);

TYPED_TEST(ProgressStop, ScanProgressReachesEveryHostAndStopIsOnlyOfferedWhileItRuns) {
    this->AddScanDisplay(6, 2, "KC-46D");
    this->Make();
    EXPECT_FALSE(this->StopButton()->isEnabled());

    this->Click(kIpScan);
    EXPECT_TRUE(this->StopButton()->isEnabled());
    EXPECT_EQ(this->Progress()->maximum(), 254);
    int lastSeen = 0;
    bool wentDown = false;
    ASSERT_TRUE(WaitUntil([&] {
        const int v = this->Progress()->value();
        wentDown = wentDown || v < lastSeen;
        lastSeen = v;
        return this->Finished() && !this->page().scanRunning();
    }));
    EXPECT_FALSE(wentDown);
    EXPECT_EQ(this->Progress()->value(), 254);
    EXPECT_EQ(this->ProgressText(), "254 of 254");
    EXPECT_FALSE(this->StopButton()->isEnabled());
    EXPECT_EQ(this->SortedRows(), QStringList{"127.0.63.6|KC-46D|Y|0|2"});
}

TYPED_TEST(ProgressStop, StoppedScanJoinsItsThreadsKeepsItsRowsAndCanRunAgain) {
    this->AddScanDisplay(5, 1, "KC-46D");
    // Host .200 keeps its probe waiting for an echo until the scan is stopped (once).
    this->scan->hold = {Addr(200)};
    this->scan->holdOnce = true;
    this->Make();

    this->Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return this->scan->held() == 1 && this->page().rowCount() == 1; }));
    QTest::mouseClick(this->StopButton(), Qt::LeftButton);

    // Joined by the time the click returns; nothing more is heard of that scan.
    EXPECT_FALSE(this->page().scanRunning());
    EXPECT_FALSE(this->StopButton()->isEnabled());
    EXPECT_TRUE(this->Button(kIpScan)->isEnabled());
    EXPECT_EQ(this->StatusLine()->text(), "");
    EXPECT_LT(this->Progress()->value(), 254);
    QTest::qWait(150);
    EXPECT_EQ(this->SortedRows(), QStringList{"127.0.63.5|KC-46D|Y|0|1"});
    EXPECT_TRUE(this->feedback.messages.isEmpty()) << this->feedback.messages.join('|').toStdString();

    // A second press scans afresh with the same backends (asked for once).
    this->Click(kIpScan);
    ASSERT_TRUE(WaitUntil([&] { return this->Finished() && !this->page().scanRunning(); }));
    EXPECT_EQ(this->SortedRows(), QStringList{"127.0.63.5|KC-46D|Y|0|1"});
    EXPECT_EQ(this->Progress()->value(), 254);
    EXPECT_EQ(this->backendRequests.load(), 1);
}

// The search runs inside the click: a timer presses "Stop" once the progress shows ID 3.
TYPED_TEST(ProgressStop, StoppedSearchEndsAfterTheIdBeingAsked) {
    using T = Traits<TypeParam>;
    auto line = StartLine({SerialDisplay(2, T::kModel), SerialDisplay(11, T::kModel)});
    this->Make();
    this->OpenLine(line->devicePath());
    this->template Child<QComboBox>("modelCombo")->setCurrentText(T::kModel);

    bool stopOfferedDuring = false;
    int maximumDuring = 0;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (this->Progress()->value() < 3 || !this->StopButton()->isEnabled()) return;
        stopOfferedDuring = true;
        maximumDuring = this->Progress()->maximum();
        QTest::mouseClick(this->StopButton(), Qt::LeftButton);
        presser.stop();
    });
    presser.start(20);
    this->Click(T::kIdSearch);

    EXPECT_TRUE(stopOfferedDuring);
    EXPECT_EQ(maximumDuring, 25);
    EXPECT_EQ(this->Column(0), QStringList{"2"});
    const auto heard = Heard(*line);
    EXPECT_GE(heard.size(), 3u);
    EXPECT_LE(heard.size(), 4u);  // the ID being asked when "Stop" came is read to its end
    EXPECT_EQ(this->Progress()->value(), static_cast<int>(heard.size()));
    EXPECT_EQ(this->feedback.events, QStringList{" Search End"});
    EXPECT_TRUE(this->Button(T::kIdSearch)->isEnabled());
    EXPECT_FALSE(this->StopButton()->isEnabled());
    EXPECT_EQ(this->StatusLine()->text(), "");
}

TYPED_TEST(ProgressStop, StatusLineTextIsItsAccessibleDescription) {
    this->Make();
    QLabel* status = this->StatusLine();
    QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(status);
    ASSERT_NE(a11y, nullptr);
    const QString texts[] = {QStringLiteral("Connecting..."), QStringLiteral(" SCAN ERROR ! "),
                             QStringLiteral("Search....."), QString(), QStringLiteral("COM Port Closed ")};
    for (const QString& text : texts) {
        this->page().setStatus(text);
        EXPECT_EQ(status->text(), text);
        EXPECT_EQ(a11y->text(QAccessible::Description), text) << text.toStdString();
        EXPECT_EQ(a11y->text(QAccessible::Name), "Status");
    }
    // The page's own flows go through the same setter.
    this->Click(kIpScan);
    EXPECT_EQ(a11y->text(QAccessible::Description), "Connecting...");
    ASSERT_TRUE(WaitUntil([&] { return this->Finished() && !this->page().scanRunning(); }));
    EXPECT_EQ(a11y->text(QAccessible::Description), "");
}

}  // namespace
}  // namespace dravik::discovery_pages
