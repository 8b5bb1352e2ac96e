// The window while a command flow runs: it keeps taking input, shows the row in flight, and a
// page closed mid-flow goes away cleanly. Simulated displays on 127.0.50.x.
#include "flow_helpers.h"
#include "page_harness.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace dravik::pages::testing {
namespace {

TEST(ControlPageResponsive, TheWindowTakesInputAndShowsTheRowInFlight) {
    auto quiet = StartLan("127.0.50.1", Display("KA-55", 1, sim::Fault::NeverAnswer));
    PageHarness h;
    h.addRow("127.0.50.1", "KA-55", "1");
    h.select(0);
    int ticks = 0;
    int rowSeen = -2;
    QString typed;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QTimer::singleShot(300, h.page.get(), [&] {
        rowSeen = h.page->rowInFlight();
        // Typing into a level edit works while the display is still silent.
        QLineEdit* brightness = h.edit(1110);
        brightness->clear();
        QTest::keyClicks(brightness, "42");
        typed = brightness->text();
    });
    h.press(1151);  // temperature "Update": the display never answers
    EXPECT_EQ(rowSeen, 0);
    EXPECT_EQ(typed, "42");
    // The event loop went round many times during the 3.5 s receive wait.
    EXPECT_GT(ticks, 20);
    EXPECT_EQ(h.page->rowInFlight(), -1);
    EXPECT_EQ(h.cell(0, 2), "Y");
    EXPECT_FALSE(h.page->flowRunning());
}

TEST(ControlPageResponsive, APageClosedMidFlowGoesAwayCleanly) {
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    PageHarness h;
    for (int i = 0; i < 4; ++i) {
        const std::string address = "127.0.50." + std::to_string(10 + i);
        displays.push_back(StartLan(address, Display("KA-55", 1, sim::Fault::NeverAnswer)));
        h.addRow(QString::fromStdString(address), "KA-55", "1");
    }
    bool destroyed = false;
    QTimer::singleShot(400, [&] {
        ASSERT_TRUE(h.page->flowRunning());
        h.page.reset();  // the window closes while the brightness walk waits on row 0
        destroyed = true;
    });
    QAbstractButton* b = h.button(1035);
    b->click();
    ASSERT_TRUE(dravik::testing::WaitUntil([&] { return destroyed; }, std::chrono::seconds(30)));
    // The walk stopped at the row in flight: no later row was contacted.
    for (std::size_t i = 1; i < displays.size(); ++i) EXPECT_TRUE(displays[i]->log().empty()) << i;
    h.createPage();  // and a new page works
    EXPECT_FALSE(h.page->flowRunning());
}

}  // namespace
}  // namespace dravik::pages::testing

namespace dravik::pages::testing {
namespace {

TEST(ControlPageResponsive, AWalkShowsItsRowsAndStopsWhenAsked) {
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    PageHarness h;
    for (int i = 0; i < 5; ++i) {
        const std::string address = "127.0.50." + std::to_string(20 + i);
        displays.push_back(StartLan(address, Display("KA-55", 1, sim::Fault::NeverAnswer)));
        h.addRow(QString::fromStdString(address), "KA-55", "1");
    }
    auto* progress = h.page->findChild<QProgressBar*>(QStringLiteral("discoveryProgress"));
    auto* stop = h.page->findChild<QPushButton*>(QStringLiteral("discoveryStopButton"));
    ASSERT_NE(progress, nullptr);
    ASSERT_NE(stop, nullptr);
    h.press(1026);  // "On": five rows, 250 ms each
    EXPECT_EQ(progress->value(), 5);
    EXPECT_EQ(progress->maximum(), 5);
    EXPECT_EQ(progress->text(), "5 of 5");
    EXPECT_FALSE(stop->isEnabled());

    for (auto& d : displays) d->clearLog();
    // "Stop" once the first row is done, whatever the machine's load: three rows of 250 ms
    // are still to come then.
    bool stopWasOffered = false;
    const auto stopping = QObject::connect(progress, &QProgressBar::valueChanged, h.page.get(), [&](int done) {
        if (done != 1) return;
        stopWasOffered = stop->isEnabled();
        stop->click();
    });
    h.press(1026);
    QObject::disconnect(stopping);
    EXPECT_TRUE(stopWasOffered);
    // The walk ended at the row in flight when "Stop" came; no later row was sent to.
    EXPECT_LT(progress->value(), 5);
    EXPECT_TRUE(displays[4]->log().empty());
    EXPECT_FALSE(stop->isEnabled());
}

}  // namespace
}  // namespace dravik::pages::testing
