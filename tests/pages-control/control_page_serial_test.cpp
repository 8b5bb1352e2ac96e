// The buttons of the left half over RS-232: flows A, B and C on a pseudo-terminal line with
// several simulated displays told apart by monitor ID; the closed port; presses that
// arrive while a flow waits, and wait their turn.
#include "serial_bench.h"

#include <QTimer>

namespace dravik::pages::testing {
namespace {

TEST(ControlPageSerial, OnGoesToEveryIdOnTheLineInOrder) {
    SerialBench b({Display("KA-55", 1), Display("LM-55", 2), Display("KA-55", 12)}, true);
    PageHarness& h = b.h;
    h.addRow("1", "KA-55");
    h.addRow("2", "LM-55");
    h.addRow("12", "KA-55");
    h.press(1026);
    ASSERT_TRUE(b.line->waitForLog(3, 2s));
    EXPECT_EQ(Frames(b.line->log()), (std::vector<std::string>{"A6 01 00 00 00 04 01 18 02 B8", "A6 02 00 00 00 04 01 18 02 BB",
                                                               "A6 0C 00 00 00 04 01 18 02 B5"}));
    for (const auto& e : b.line->log()) EXPECT_TRUE(e.answered) << e.hex;
    EXPECT_EQ(h.tx(), "A6 0C 00 00 00 04 01 18 02 B5 ");
    // The reply of the last display shows in the receive box, bytes without separators.
    EXPECT_TRUE(h.edit(1078)->text().startsWith("210C0000040118")) << h.edit(1078)->text().toStdString();
    EXPECT_EQ(h.status(), "");
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

TEST(ControlPageSerial, AClosedPortStopsTheFlowWithOneMessage) {
    SerialBench b({Display("KA-55", 1), Display("KA-55", 2)}, false);
    PageHarness& h = b.h;
    h.addRow("1", "KA-55");
    h.addRow("2", "KA-55");
    for (int button : {1026, 1027, 1029, 1014, 1109}) {
        SCOPED_TRACE(button);
        h.feedback.clear();
        h.press(button);
        EXPECT_EQ(h.feedback.messages, QStringList{"COM Port Closed "});
        EXPECT_EQ(h.status(), "Send.....");
    }
    EXPECT_TRUE(b.line->log().empty());
}

TEST(ControlPageSerial, FlowsBAndCChooseByModelAndSkipWithoutStopping) {
    SerialBench b({Display("NFB-6502", 1), Display("YT700WKB", 2), Display("LM-43", 3)}, true);
    PageHarness& h = b.h;
    h.addRow("1", "NFB-6502");
    h.addRow("2", "YT700WKB");
    h.addRow("3", "LM-43");
    h.press(1027);  // "Off"
    ASSERT_TRUE(b.line->waitForLog(3, 2s));
    EXPECT_EQ(Frames(b.line->log()), (std::vector<std::string>{"A6 01 00 00 00 04 01 A8 00 0A", One(0x18, 0x01, 2), One(0x18, 0x01, 3)}));

    b.line->clearLog();
    h.press(1029);  // "HDMI 1": refused for the middle row, which is skipped
    ASSERT_TRUE(b.line->waitForLog(2, 2s));
    EXPECT_EQ(Frames(b.line->log()), (std::vector<std::string>{Input(0x0D, 0, 1), Input(0x0D, 0, 3)}));
    EXPECT_EQ(h.feedback.messages, QStringList{"YT700WKB No This Function or unsupported !\r\n"});

    // One selected row: only it, with flows B and A.
    b.line->clearLog();
    h.select(2);
    h.press(1028);  // "VGA"
    h.select(1);
    h.press(1026);  // "On"
    ASSERT_TRUE(b.line->waitForLog(2, 2s));
    EXPECT_EQ(Frames(b.line->log()), (std::vector<std::string>{Input(0x05, 0, 3), One(0x18, 0x02, 2)}));
}

// While a flow waits it dispatches events; a command pressed then waits its turn, and the
// list, interface and port do nothing, so the running flow keeps the frame buffer and the
// rows it walks. The commands that waited go out after it, in press order.
TEST(ControlPageSerial, PressesDuringARunningFlowWaitTheirTurn) {
    SerialBench b({Display("KA-55", 1), Display("KA-55", 2)}, true);
    PageHarness& h = b.h;
    h.addRow("1", "KA-55");
    h.addRow("2", "KA-55");
    int pressedDuringFlow = 0;
    QTimer::singleShot(200, h.page.get(), [&] {
        ASSERT_TRUE(h.page->busy());
        for (int button : {1026, 1027, 1029, 1014, 1191, 1035, 1151, 1138, 1062, 1005, 1007, 1006, 1127}) {
            h.press(button);
            ++pressedDuringFlow;
        }
        h.toLan();
        EXPECT_EQ(h.page->commandsWaiting(), 8);
    });
    h.press(1016);  // "Input" to both rows
    EXPECT_EQ(pressedDuringFlow, 13);
    QDeadlineTimer deadline(60000);
    while ((h.page->busy() || h.page->commandsWaiting() > 0) && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const auto frames = Frames(b.line->log());
    ASSERT_GE(frames.size(), 8u);
    // Both rows got the running flow's frame: nothing overwrote the frame buffer. Then "On",
    // "Off" and "HDMI 1", each to both rows, as they were pressed.
    EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + 8),
              (std::vector<std::string>{One(0xFD, 0xA2, 1), One(0xFD, 0xA2, 2), One(0x18, 0x02, 1), One(0x18, 0x02, 2),
                                        One(0x18, 0x01, 1), One(0x18, 0x01, 2), Input(0x09, 0, 1), Input(0x09, 0, 2)}));
    EXPECT_FALSE(h.page->lanMode());
    EXPECT_TRUE(h.button(1137)->isChecked());
    EXPECT_EQ(h.page->rowCount(), 2);
    EXPECT_TRUE(h.page->serialPort().isOpen());
    // "Update" (temperature) found no row selected when its turn came.
    EXPECT_EQ(h.feedback.messages, QStringList{"Please Select One Monitor"});
    EXPECT_EQ(h.feedback.beeps, 0);
    EXPECT_FALSE(h.page->busy());
    // Afterwards the buttons work again.
    b.line->clearLog();
    h.press(1026);
    ASSERT_TRUE(b.line->waitForLog(2, 2s));
    EXPECT_EQ(Frames(b.line->log()), (std::vector<std::string>{One(0x18, 0x02, 1), One(0x18, 0x02, 2)}));
}

}  // namespace
}  // namespace dravik::pages::testing
