// The buttons of the left half over LAN: flows A, B and C against simulated displays on
// 127.0.6.10 .. 127.0.6.39 (port 5000). Addresses without a display refuse the connection.
#include "flow_helpers.h"
#include "page_harness.h"

namespace dravik::pages::testing {
namespace {

using protocol::IrKey;

TEST(ControlPageLan, OnGoesToEveryRowInListOrderWithItsOwnId) {
    auto a = StartLan("127.0.6.10", Display("KA-55"));
    auto b = StartLan("127.0.6.11", Display("LM-55"));
    auto c = StartLan("127.0.6.12", Display("KA-55"));
    PageHarness h;
    h.addRow("127.0.6.10", "KA-55", "1");
    h.addRow("127.0.6.11", "LM-55", "12");
    h.addRow("127.0.6.12", "", "5");  // flow A never looks at the model
    h.press(1026);

    ASSERT_TRUE(c->waitForLog(1, 2s));
    EXPECT_EQ(Frames(a->log()), std::vector<std::string>{"A6 01 00 00 00 04 01 18 02 B8"});
    EXPECT_EQ(Frames(b->log()), std::vector<std::string>{"A6 0C 00 00 00 04 01 18 02 B5"});
    EXPECT_EQ(Frames(c->log()), std::vector<std::string>{"A6 05 00 00 00 04 01 18 02 BC"});
    EXPECT_EQ(InArrivalOrder({a->log(), b->log(), c->log()}),
              (std::vector<std::string>{"A6 01 00 00 00 04 01 18 02 B8", "A6 0C 00 00 00 04 01 18 02 B5",
                                        "A6 05 00 00 00 04 01 18 02 BC"}));
    for (int row = 0; row < 3; ++row) EXPECT_EQ(h.cell(row, 2), "Y");
    // The TX box shows the frame as sent to the last row; the buffer holds it sealed so.
    EXPECT_EQ(h.tx(), "A6 05 00 00 00 04 01 18 02 BC ");
    EXPECT_EQ(h.status(), "");
    EXPECT_TRUE(h.feedback.messages.isEmpty());
    EXPECT_EQ(h.feedback.beeps, 0);
    EXPECT_TRUE(b->state().powerOn);
}

TEST(ControlPageLan, AFailingMiddleRowIsMarkedAndTheNextIsStillTried) {
    auto a = StartLan("127.0.6.13", Display("KA-55"));
    auto c = StartLan("127.0.6.15", Display("KA-55"));
    PageHarness h;
    h.addRow("127.0.6.13", "KA-55", "1");
    h.addRow("127.0.6.14", "KA-55", "2");  // nothing listens there
    h.addRow("127.0.6.15", "KA-55", "3");
    h.press(1015);  // "Menu"
    ASSERT_TRUE(c->waitForLog(1, 2s));
    EXPECT_EQ(Frames(a->log()), std::vector<std::string>{One(0xFD, 0xA1, 1)});
    EXPECT_EQ(Frames(c->log()), std::vector<std::string>{One(0xFD, 0xA1, 3)});
    EXPECT_EQ(h.cell(0, 2), "Y");
    EXPECT_EQ(h.cell(1, 2), "N");
    EXPECT_EQ(h.cell(2, 2), "Y");
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

TEST(ControlPageLan, ASelectedRowIsTheOnlyTarget) {
    auto a = StartLan("127.0.6.16", Display("KA-55"));
    auto b = StartLan("127.0.6.17", Display("KA-55", 7));
    PageHarness h;
    h.addRow("127.0.6.16", "KA-55", "1");
    h.addRow("127.0.6.17", "KA-55", "7");
    h.select(1);
    h.press(1027);  // "Off"
    ASSERT_TRUE(b->waitForLog(1, 2s));
    EXPECT_TRUE(a->log().empty());
    EXPECT_EQ(Frames(b->log()), std::vector<std::string>{"A6 07 00 00 00 04 01 18 01 BD"});
    EXPECT_EQ(h.cell(0, 2), "0");
    EXPECT_EQ(h.cell(1, 2), "Y");
    EXPECT_FALSE(b->state().powerOn);
}

TEST(ControlPageLan, EveryIrKeySendsItsCode) {
    auto d = StartLan("127.0.6.18", Display("LM-55", 2));
    PageHarness h;
    h.addRow("127.0.6.18", "LM-55", "2");
    h.select(0);
    const std::pair<int, IrKey> keys[] = {
        {1014, IrKey::Power}, {1015, IrKey::Menu},  {1016, IrKey::Input}, {1017, IrKey::VolumeUp},
        {1018, IrKey::VolumeDown}, {1019, IrKey::Mute}, {1020, IrKey::Up}, {1021, IrKey::Down},
        {1022, IrKey::Left},  {1023, IrKey::Right}, {1024, IrKey::Ok},   {1025, IrKey::Return},
        {1191, IrKey::Info},  // hidden "INFO"
    };
    std::vector<std::string> expected;
    for (const auto& [id, key] : keys) {
        h.press(id);
        expected.push_back(Hex(protocol::BuildIrKey(key), 2));
        EXPECT_EQ(h.tx(), QString::fromStdString(expected.back() + " ")) << id;
    }
    ASSERT_TRUE(d->waitForLog(expected.size(), 2s));
    EXPECT_EQ(Frames(d->log()), expected);
    EXPECT_EQ(expected.back(), "A6 02 00 00 00 04 01 FD D2 8E");
}

TEST(ControlPageLan, OffPicksTheFramePerModel) {
    auto a = StartLan("127.0.6.19", Display("NFB-6502", 1));
    auto b = StartLan("127.0.6.20", Display("KA-55", 2));
    auto c = StartLan("127.0.6.21", Display("LM-43", 3));
    PageHarness h;
    h.addRow("127.0.6.19", "NFB-6502", "1");
    h.addRow("127.0.6.20", "KA-55", "2");
    h.addRow("127.0.6.21", "LM-4", "3");  // unlisted: the standard frame, never refused
    h.press(1027);
    ASSERT_TRUE(c->waitForLog(1, 2s));
    EXPECT_EQ(Frames(a->log()), std::vector<std::string>{"A6 01 00 00 00 04 01 A8 00 0A"});
    EXPECT_EQ(Frames(b->log()), std::vector<std::string>{"A6 02 00 00 00 04 01 18 01 B8"});
    EXPECT_EQ(Frames(c->log()), std::vector<std::string>{One(0x18, 0x01, 3)});
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

// Flow B over all rows: a frame, a refusal (message, row skipped) or silence per model.
TEST(ControlPageLan, InputButtonsChooseByModelOverAllRows) {
    auto lm = StartLan("127.0.6.22", Display("LM-43", 1));
    auto gbw = StartLan("127.0.6.23", Display("GBW-2201", 2));
    auto kb = StartLan("127.0.6.24", Display("KB-43", 3));
    auto yt = StartLan("127.0.6.25", Display("YT700WKB", 4));
    PageHarness h;
    h.addRow("127.0.6.22", "LM-43", "1");
    h.addRow("127.0.6.23", "GBW-2201", "2");
    h.addRow("127.0.6.24", "KB-43", "3");
    h.addRow("127.0.6.25", "YT700WKB", "4");
    const QString refusedLm = "LM-43 No This Function or unsupported !\r\n";
    const QString refusedGbw = "GBW-2201 No This Function or unsupported !\r\n";
    const QString refusedYt = "YT700WKB No This Function or unsupported !\r\n";
    struct Case {
        int button;
        std::string lm, gbw, kb;  // "" nothing
        QStringList messages;
    };
    const Case cases[] = {
        {1029, Input(0x0D, 0, 1), "", Input(0x09, 0, 3), {refusedYt}},                 // HDMI 1
        {1030, Input(0x06, 0, 1), "", Input(0x05, 1, 3), {refusedGbw, refusedYt}},     // HDMI 2
        {1031, "", "", Input(0x07, 1, 3), {refusedLm, refusedYt}},                     // DisplayPort
        {1033, Input(0x0E, 0, 1), "", Input(0x09, 1, 3), {refusedYt}},                 // DVI
        {1028, Input(0x05, 0, 1), "", Input(0x05, 0, 3), {refusedYt}},                 // VGA
        {1032, Input(0x0C, 0, 1), "", Input(0x08, 1, 3), {refusedYt}},                 // USB (hidden)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        for (auto* d : {lm.get(), gbw.get(), kb.get(), yt.get()}) d->clearLog();
        h.feedback.clear();
        h.press(c.button);
        const auto expect = [](const sim::LanDisplay& d, const std::string& frame) {
            EXPECT_EQ(Frames(d.log()), frame.empty() ? std::vector<std::string>{} : std::vector<std::string>{frame})
                << d.address();
        };
        expect(*lm, c.lm);
        expect(*gbw, "");
        expect(*kb, c.kb);
        expect(*yt, "");
        EXPECT_EQ(h.feedback.messages, c.messages);
        EXPECT_EQ(h.messageLine(), c.messages.back());
    }
    EXPECT_EQ(h.cell(1, 2), "0");  // never contacted
    EXPECT_EQ(h.cell(3, 2), "0");
}

TEST(ControlPageLan, HdmiOneRefusesASelectedRowOnceMore) {
    auto lx = StartLan("127.0.6.26", Display("LX-24", 1));
    PageHarness h;
    h.addRow("127.0.6.26", "LX-24", "1");
    h.addRow("127.0.6.27", "YT700WKB", "2");
    h.addRow("127.0.6.28", "GBW-2201", "3");
    const QString refusedYt = "YT700WKB No This Function or unsupported !\r\n";
    const QString refusedGbw = "GBW-2201 No This Function or unsupported !\r\n";
    struct Case {
        int row, button;
        QStringList messages;
    };
    const Case cases[] = {
        {0, 1029, {}},                        // LX-24 takes 22 00
        {1, 1029, {refusedYt, refusedYt}},    // refused: the selector's message and one more
        {2, 1029, {refusedGbw}},              // silent: only the extra message
        {1, 1030, {refusedYt}},               // other inputs add nothing
        {2, 1031, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        SCOPED_TRACE(c.button);
        h.feedback.clear();
        h.select(c.row);
        h.press(c.button);
        EXPECT_EQ(h.feedback.messages, c.messages);
    }
    ASSERT_TRUE(lx->waitForLog(1, 2s));
    EXPECT_EQ(Frames(lx->log()), std::vector<std::string>{Input(0x22, 0, 1)});
    EXPECT_EQ(h.cell(1, 2), "0");
    EXPECT_EQ(h.cell(2, 2), "0");
}

}  // namespace
}  // namespace dravik::pages::testing
