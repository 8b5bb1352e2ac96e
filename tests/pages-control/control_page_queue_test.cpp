// What the operator does while a command runs: a command pressed meanwhile waits its turn and
// goes out after it, in press order, to the rows selected when it starts; "Stop" empties the
// queue; what was typed or ticked meanwhile survives the run and goes out with the next
// command; the list, interface and port controls wait, visibly, for the run to end.
#include "flow_helpers.h"
#include "page_harness.h"

#include "pages/command_queue.h"

#include <QProgressBar>
#include <QTableWidget>
#include <QTimer>
#include <QtTest/QTest>

namespace dravik::pages::testing {
namespace {

// Three KA-55 displays on LAN (127.0.6.base..base+2, each test its own so that CTest can run
// them side by side) or on one RS-232 line (IDs 1..3), listed on the page in that order.
struct Bench {
    Bench(bool lan, int base) : lan(lan) {
        if (lan) {
            for (int i = 0; i < 3; ++i) displays.push_back(StartLan("127.0.6." + std::to_string(base + i), Display("KA-55")));
        } else {
            line = StartLine({Display("KA-55", 1), Display("KA-55", 2), Display("KA-55", 3)});
        }
        HarnessOptions o;
        if (line) o.ports = {PathOf(*line)};
        h = std::make_unique<PageHarness>(o);
        if (!lan) {
            h->toRs232();
            h->press(1126);
            EXPECT_TRUE(h->page->serialPort().isOpen());
        }
        for (int i = 0; i < 3; ++i) {
            if (lan) {
                h->addRow(QString("127.0.6.%1").arg(base + i), "KA-55", "1");
            } else {
                h->addRow(QString::number(i + 1), "KA-55");
            }
        }
    }
    // The frames every display received, in the order they arrived.
    std::vector<std::string> frames() const {
        if (line) return Frames(line->log());
        std::vector<std::vector<sim::LogEntry>> logs;
        for (const auto& d : displays) logs.push_back(d->log());
        return InArrivalOrder(logs);
    }
    void clearLogs() const {
        if (line) line->clearLog();
        for (const auto& d : displays) d->clearLog();
    }
    // Until the run and every command waiting after it have ended.
    void drain() const {
        QDeadlineTimer deadline(60000);
        while ((h->page->busy() || h->page->commandsWaiting() > 0) && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
        QCoreApplication::processEvents();
    }
    int id(int row) const { return lan ? 1 : row + 1; }

    bool lan;
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    std::unique_ptr<sim::SerialLine> line;
    std::unique_ptr<PageHarness> h;
};

constexpr int kLockControls[] = {1005, 1007, 1006, 1009, 1136, 1137, 1125, 1126, 1127, 1128};

class Queue : public ::testing::TestWithParam<bool> {};

TEST_P(Queue, CommandsPressedDuringAWalkGoOutAfterItInPressOrderToTheRowsSelectedThen) {
    Bench b(GetParam(), 81);
    PageHarness& h = *b.h;
    std::map<int, bool> enabledBefore;
    for (int id : kLockControls) enabledBefore[id] = h.control(id)->isEnabled();

    QString waiting;
    std::map<int, bool> enabledDuring;
    QString tipDuring;
    QTimer::singleShot(150, h.page.get(), [&] {
        ASSERT_TRUE(h.page->busy());
        h.press(1027);  // "Off", waits
        h.select(1);    // the second row, chosen while "On" still walks
        h.press(1029);  // "HDMI 1", waits
        waiting = h.page->findChild<QLabel*>("queueLine")->text();
        for (int id : kLockControls) enabledDuring[id] = h.control(id)->isEnabled();
        tipDuring = h.control(1005)->toolTip();
    });
    h.press(1026);  // "On" to every row
    b.drain();

    EXPECT_EQ(waiting, "Next: Off, HDMI 1");
    for (int id : kLockControls) EXPECT_FALSE(enabledDuring[id]) << id;
    EXPECT_EQ(tipDuring, WaitsForRunTip());
    // On to all three, whole; then Off and HDMI 1 to the row selected when each started.
    EXPECT_EQ(b.frames(), (std::vector<std::string>{One(0x18, 0x02, b.id(0)), One(0x18, 0x02, b.id(1)),
                                                    One(0x18, 0x02, b.id(2)), One(0x18, 0x01, b.id(1)),
                                                    Input(0x09, 0, b.id(1))}));
    for (int id : kLockControls) EXPECT_EQ(h.control(id)->isEnabled(), enabledBefore[id]) << id;
    EXPECT_EQ(h.control(1005)->toolTip(), QString());
    EXPECT_EQ(h.page->findChild<QLabel*>("queueLine")->text(), "");
    EXPECT_TRUE(h.feedback.messages.isEmpty()) << h.feedback.messages.join('|').toStdString();
}

TEST_P(Queue, StopEndsTheWalkAndEmptiesTheQueueWhichHoldsEightAtMost) {
    Bench b(GetParam(), 84);
    PageHarness& h = *b.h;
    int waitingAtMost = 0;
    QString full;
    QTimer::singleShot(100, h.page.get(), [&] {
        for (int i = 0; i < 9; ++i) h.press(i % 2 ? 1027 : 1029);
        waitingAtMost = h.page->commandsWaiting();
        full = h.page->findChild<QLabel*>("queueLine")->text();
    });
    QTimer::singleShot(120, h.page.get(), [&] { h.page->findChild<QAbstractButton*>("discoveryStopButton")->click(); });
    h.press(1026);
    b.drain();
    EXPECT_EQ(waitingAtMost, static_cast<int>(CommandQueue::kLimit));
    EXPECT_EQ(h.feedback.beeps, 1);
    EXPECT_TRUE(full.contains("not queued")) << full.toStdString();
    EXPECT_EQ(h.page->commandsWaiting(), 0);
    // The row in flight ended; nothing after it went out.
    EXPECT_EQ(b.frames(), (std::vector<std::string>{One(0x18, 0x02, b.id(0))}));
}

// The fault this guards against: a value typed and a box ticked while a command ran were put
// back by the command's end, and the next "Set" sent the old value.
TEST_P(Queue, WhatIsTypedOrTickedDuringARunSurvivesItAndGoesOutNext) {
    Bench b(GetParam(), 87);
    PageHarness& h = *b.h;
    const int running = b.lan ? 1026 : 1035;  // "On" over LAN; the brightness "Set" (read, then set) over RS-232
    QTimer::singleShot(100, h.page.get(), [&] {
        h.edit(1116)->setText("45");             // Volume
        h.button(1120)->setChecked(true);        // IR lock
        if (b.lan) h.button(1174)->setChecked(true);  // Lock Model
    });
    h.press(running);
    b.drain();
    EXPECT_EQ(h.edit(1116)->text(), "45");
    EXPECT_TRUE(h.button(1120)->isChecked());
    if (b.lan) {
        EXPECT_TRUE(h.button(1174)->isChecked());
    }

    b.clearLogs();
    h.select(0);
    h.press(1118);  // Volume "Set"
    ASSERT_FALSE(b.frames().empty());
    EXPECT_EQ(b.frames().back(), One(0x44, 45, b.id(0)));
    EXPECT_EQ(h.edit(1116)->text(), "45");
}

// A level changed while a walk runs reaches the rows still to come, without the walk asking
// the window for it.
TEST(QueueLevels, ALevelChangedDuringAWalkReachesTheRowsStillToCome) {
    Bench b(true, 90);
    PageHarness& h = *b.h;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (b.displays[0]->log().empty()) return;
        h.edit(1116)->setText("45");  // Volume, once the first row has its frame
        poll.stop();
    });
    poll.start(2);
    h.press(1118);  // Volume "Set" to every row, 30 at the start
    b.drain();
    EXPECT_EQ(b.frames(), (std::vector<std::string>{One(0x44, 30, 1), One(0x44, 45, 1), One(0x44, 45, 1)}));
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

// Keys typed into a field during a walk stay in it: the list takes the focus after an exchange
// only when nobody is typing, as after a press of the command's button.
TEST(QueueFocus, KeysTypedIntoAFieldDuringAWalkStayInIt) {
    Bench b(true, 93);
    PageHarness& h = *b.h;
    auto* list = h.page->findChild<QTableWidget*>(QStringLiteral("targetList"));
    ASSERT_NE(list, nullptr);
    const auto typing = QObject::connect(h.page->findChild<QProgressBar*>(QStringLiteral("discoveryProgress")),
                                         &QProgressBar::valueChanged, h.page.get(), [&](int done) {
                                             if (done == 1) {
                                                 h.edit(1116)->setFocus();  // Volume
                                                 h.edit(1116)->selectAll();
                                             }
                                             if (done == 2) QTest::keyClicks(h.page->focusWidget(), "45");
                                         });
    h.press(1026);  // "On" to every row
    b.drain();
    QObject::disconnect(typing);
    EXPECT_EQ(h.edit(1116)->text(), "45");
    EXPECT_EQ(h.page->focusWidget(), h.edit(1116));

    h.button(1027)->setFocus();
    h.press(1027);  // "Off": pressed, not typed into
    b.drain();
    EXPECT_EQ(h.page->focusWidget(), list);
}

INSTANTIATE_TEST_SUITE_P(LanAndSerial, Queue, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? std::string("Lan") : std::string("Serial"); });

}  // namespace
}  // namespace dravik::pages::testing
