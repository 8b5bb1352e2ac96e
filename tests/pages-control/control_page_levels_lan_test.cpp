// The buttons of the right half over LAN: levels, locks, "CMS" and "Custom", the brightness
// exchange, the status queries and the hidden service buttons. Simulated displays on
// 127.0.6.100 .. 127.0.6.169 (port 5000).
#include "flow_helpers.h"
#include "page_harness.h"
#include "scripted_peer.h"

#include "display-sim/display.h"

namespace dravik::pages::testing {
namespace {

QString Refused(const QString& model) { return model + " No This Function or unsupported !\r\n"; }

struct Row {
    std::string address;
    std::string model;
    int id;
};

// Displays for the rows (a display of each row's model at its address) and the rows added.
struct Bench {
    explicit Bench(const std::vector<Row>& rows, const HarnessOptions& options = {}) : h(options) {
        for (const Row& r : rows) {
            displays.push_back(StartLan(r.address, Display(r.model, r.id)));
            h.addRow(QString::fromStdString(r.address), QString::fromStdString(r.model), QString::number(r.id));
        }
    }
    void clearLogs() {
        for (auto& d : displays) d->clearLog();
        h.feedback.clear();
    }
    // Each display's frames; "" entries of `expected` mean nothing.
    void expectFrames(const std::vector<std::vector<std::string>>& expected) {
        ASSERT_EQ(expected.size(), displays.size());
        for (std::size_t i = 0; i < displays.size(); ++i) {
            if (!expected[i].empty()) displays[i]->waitForLog(expected[i].size(), 2s);
            EXPECT_EQ(Frames(displays[i]->log()), expected[i]) << displays[i]->address();
        }
    }
    PageHarness h;
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
};

using F = std::vector<std::string>;

TEST(ControlPageLevelsLan, BacklightAndVolumeByModel) {
    Bench b({{"127.0.6.100", "KA-55", 1}, {"127.0.6.101", "KB-43", 2}, {"127.0.6.102", "LM-43", 3},
             {"127.0.6.103", "KC-46D", 4}, {"127.0.6.104", "LM-4302", 5}, {"127.0.6.105", "NFB-9603", 6}});
    PageHarness& h = b.h;
    // Levels go out as their low 8 bits; only the volume frames cap.
    h.edit(1037)->setText("300");
    h.press(1109);
    b.expectFrames({F{One(0x30, 0x2C, 1)}, F{}, F{}, F{One(0x30, 0x2C, 4)}, F{}, F{}});
    EXPECT_EQ(h.feedback.messages, (QStringList{Refused("KB-43"), Refused("LM-4302"), Refused("NFB-9603")}));
    EXPECT_EQ(h.page->values().backlight, 300);

    b.clearLogs();
    h.edit(1116)->setText("75");
    h.press(1118);
    b.expectFrames({F{One(0x44, 0x3C, 1)}, F{One(0x44, 0x3C, 2)}, F{Bytes(0x44, {0x4B, 0x4B}, 3)},
                    F{One(0x44, 0x4B, 4)}, F{Bytes(0x44, {0x1F, 0x1F}, 5)}, F{}});
    EXPECT_EQ(h.feedback.messages, QStringList{Refused("NFB-9603")});

    // One selected row: a silent model gets nothing and no message, a refused one the
    // selector's message only.
    for (const auto& [row, messages] : {std::pair{2, QStringList{}}, std::pair{1, QStringList{Refused("KB-43")}}}) {
        b.clearLogs();
        h.select(row);
        h.press(1109);
        b.expectFrames({F{}, F{}, F{}, F{}, F{}, F{}});
        EXPECT_EQ(h.feedback.messages, messages);
    }
}

TEST(ControlPageLevelsLan, AVolumeEditWithoutANumberStopsTheReadAndTheStoredValueGoesOut) {
    Bench b({{"127.0.6.106", "KA-55", 1}});
    PageHarness& h = b.h;
    h.page->show();
    h.edit(1037)->setText("40");   // read before the volume edit: taken
    h.edit(1116)->setText("x");
    h.as<QAbstractButton>(1119)->setChecked(true);  // read after it: not taken
    h.press(1118);
    b.expectFrames({F{One(0x44, 30, 1)}});
    EXPECT_EQ(h.feedback.messages, QStringList{"Please enter an integer."});
    EXPECT_EQ(h.page->values().backlight, 40);
    EXPECT_FALSE(h.page->values().keyLock);
    // The send wrote the stored values back.
    EXPECT_EQ(h.edit(1116)->text(), "30");
    EXPECT_FALSE(h.as<QAbstractButton>(1119)->isChecked());
}

TEST(ControlPageLevelsLan, LocksByModel) {
    Bench b({{"127.0.6.110", "KA-55", 1}, {"127.0.6.111", "LM-43", 2}, {"127.0.6.112", "LD-84", 3},
             {"127.0.6.113", "MS-15G", 4}, {"127.0.6.114", "YT700WKB", 5}});
    PageHarness& h = b.h;
    h.as<QAbstractButton>(1119)->setChecked(true);  // Key Lock on, IR Lock off
    h.press(1121);
    b.expectFrames({F{One(0x1C, 0x01, 1)}, F{One(0x1A, 0x02, 2)}, F{One(0x1C, 0x02, 3)}, F{One(0x1C, 0x01, 4)}, F{}});
    EXPECT_EQ(h.feedback.messages, QStringList{Refused("YT700WKB")});

    b.clearLogs();
    h.press(1122);
    b.expectFrames({F{One(0x1C, 0x01, 1)}, F{One(0x1C, 0x01, 2)}, F{One(0x1C, 0x02, 3)}, F{}, F{}});
    EXPECT_EQ(h.feedback.messages, QStringList{Refused("YT700WKB")});

    struct Case {
        int row, button;
        QStringList messages;
    };
    const Case cases[] = {
        {3, 1122, {Refused("MS-15G")}},                          // IR Lock, silent: one message
        {4, 1122, {Refused("YT700WKB"), Refused("YT700WKB")}},   // IR Lock, refused: twice
        {4, 1121, {Refused("YT700WKB")}},                        // Key Lock: only the selector's
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        b.clearLogs();
        h.select(c.row);
        h.press(c.button);
        EXPECT_EQ(h.feedback.messages, c.messages);
        EXPECT_EQ(h.messageLine(), c.messages.back());
    }
    b.expectFrames({F{}, F{}, F{}, F{}, F{}});
}

TEST(ControlPageLevelsLan, CmsAndCustomKeepTheTxBox) {
    Bench b({{"127.0.6.115", "LM-43", 1}, {"127.0.6.116", "KA-55", 2}, {"127.0.6.117", "JSV-4302QH", 3}});
    PageHarness& h = b.h;
    h.press(1039);
    b.expectFrames({F{Input(0x11, 0, 1)}, F{}, F{Input(0x11, 0, 3)}});
    EXPECT_EQ(h.feedback.messages, QStringList{Refused("KA-55")});

    b.clearLogs();
    h.select(1);
    h.edit(1077)->setText("kept");
    h.press(1040);
    EXPECT_EQ(h.tx(), "kept");
    EXPECT_EQ(h.feedback.messages, QStringList{Refused("KA-55")});
    h.select(2);
    h.press(1040);
    b.expectFrames({F{}, F{}, F{Input(0x18, 0, 3)}});
    EXPECT_EQ(h.tx(), QString::fromStdString(Input(0x18, 0, 3) + " "));
}

TEST(ControlPageLevelsLan, BrightnessReadsThenSetsPerModel) {
    Bench b({{"127.0.6.120", "LM-55", 1}, {"127.0.6.121", "KC-46D", 2}, {"127.0.6.122", "LM-4302", 3},
             {"127.0.6.123", "SVL-4301", 4}, {"127.0.6.124", "NFB-6502", 5}, {"127.0.6.125", "NFB-9603", 6}});
    PageHarness& h = b.h;
    const auto withVideo = [](sim::LanDisplay& d, std::array<protocol::Byte, 7> video) {
        sim::DisplayState s = d.state();
        s.video = video;
        d.setState(s);
    };
    // The LM-55 reply is clamped (parameter 4 over 20 -> 10, 5 over 50 -> 50, 7 over 5 -> 1).
    withVideo(*b.displays[0], {40, 11, 12, 25, 60, 3, 9});
    // The KC-46D's parameter 4 always goes back as 72.
    withVideo(*b.displays[1], {40, 5, 6, 33, 7, 0, 0});
    withVideo(*b.displays[2], {40, 1, 2, 3, 4, 5, 6});
    h.edit(1110)->setText("51");
    h.press(1035);

    const std::string query1 = Hex(protocol::BuildVideoParamsQueryFrame(), 1);
    EXPECT_EQ(query1, "A6 01 00 00 00 03 01 33 96");
    b.expectFrames({
        F{query1, Bytes(0x32, {51, 11, 12, 10, 50, 3, 1}, 1)},
        F{Hex(protocol::BuildVideoParamsQueryFrame(), 2), Bytes(0x32, {51, 5, 6, 72, 7}, 2)},
        F{Hex(protocol::BuildVideoParamsQueryFrame(), 3), Bytes(0x32, {50, 1, 2, 3, 4, 5, 6}, 3)},
        F{One(0xC0, 50, 4)},  // no query for this group; the level was made even just before
        F{One(0x68, 50, 5)},
        F{},
    });
    // Refused by the query lookup and by the set lookup.
    EXPECT_EQ(h.feedback.messages, (QStringList{Refused("NFB-9603"), Refused("NFB-9603")}));
    // The even form stored 50 back, and the edit shows it.
    EXPECT_EQ(h.page->values().brightness, 50);
    EXPECT_EQ(h.edit(1110)->text(), "50");
    EXPECT_EQ((h.page->values().video), (std::array<int, 6>{1, 2, 3, 4, 5, 6}));
    for (int row = 0; row < 6; ++row) EXPECT_EQ(h.cell(row, 2), row < 3 ? "Y" : "0") << row;
}

// Over LAN the set frame follows only a reply of more than 12 bytes, on the same connection.
TEST(ControlPageLevelsLan, BrightnessSetFollowsOnlyALongEnoughReply) {
    for (const int replySize : {12, 13}) {
        SCOPED_TRACE(replySize);
        const std::string address = replySize == 12 ? "127.0.6.126" : "127.0.6.127";
        ScriptedPeer peer(address, [replySize](const protocol::Bytes& frame) -> protocol::Bytes {
            if (frame.size() > 7 && frame[7] == 0x33) {
                protocol::Bytes reply{0x21, frame[1], 0x00, 0x00, 0x0A, 0x01, 0x33, 50, 21, 22, 23, 24, 25, 0x00};
                reply.resize(static_cast<std::size_t>(replySize));
                return reply;
            }
            return {0x21, frame[1], 0x00, 0x00, 0x04, 0x01, frame[7], 0x01, 0x00};
        });
        ASSERT_TRUE(peer.start());
        PageHarness h;
        h.addRow(QString::fromStdString(address), "KA-55", "2");
        h.press(1035);
        const auto connections = peer.connections();
        ASSERT_EQ(connections.size(), 1u);
        if (replySize == 12) {
            EXPECT_EQ(connections[0], F{Hex(protocol::BuildVideoParamsQueryFrame(), 2)});
            EXPECT_EQ((h.page->values().video), (std::array<int, 6>{}));
        } else {
            EXPECT_EQ(connections[0], (F{Hex(protocol::BuildVideoParamsQueryFrame(), 2), Bytes(0x32, {50, 21, 22, 23, 24}, 2)}));
        }
        EXPECT_EQ(h.cell(0, 2), "Y");
        EXPECT_TRUE(h.feedback.messages.isEmpty());
    }
}

TEST(ControlPageLevelsLan, StatusQueriesFillTheirFields) {
    Bench b({{"127.0.6.130", "KA-55", 1}, {"127.0.6.131", "LM-55", 2}});
    PageHarness& h = b.h;
    b.displays[0]->setTemperature(0xF6);
    b.displays[0]->display().setHours(0x012C);
    sim::DisplayState s = b.displays[0]->state();
    s.backlight = 77;
    b.displays[0]->setState(s);

    h.select(0);
    h.edit(1077)->setText("old");
    h.press(1151);
    EXPECT_EQ(h.edit(1152)->text(), "-10");
    EXPECT_EQ(h.page->values().temperature, -10);
    EXPECT_EQ(h.cell(0, 2), "Y");
    EXPECT_EQ(h.tx(), QString::fromStdString(Hex(protocol::BuildTemperatureQueryFrame(), 1) + " "));
    EXPECT_TRUE(h.edit(1078)->text().startsWith("21 01 00 00 05 01 2F F6 "));

    h.press(1158);  // "Op Hrs": into the hidden hours field
    EXPECT_EQ(h.edit(1157)->text(), "300");

    h.edit(1124)->setText("old message");
    h.press(1159);  // "BR/BKL": the backlight for this model
    EXPECT_EQ(h.edit(1037)->text(), "77");
    EXPECT_EQ(h.messageLine(), "");

    // An acknowledge layout answering the temperature query still carries the temperature
    // in byte 7; for the other queries byte 7 is a status for the message line.
    h.select(1);
    // A short reply keeps the first data byte as its status: hours 0x0100 give 01.
    b.displays[1]->display().setHours(0x0100);
    b.displays[1]->setFault(sim::Fault::Nack);
    h.press(1151);
    EXPECT_EQ(h.edit(1152)->text(), "3");
    struct Ack {
        sim::Fault fault;
        QString line;
    };
    for (const Ack& a : {Ack{sim::Fault::Nack, "NACK"}, Ack{sim::Fault::Nav, "NAV"}, Ack{sim::Fault::ShortReply, "executed"}}) {
        b.displays[1]->setFault(a.fault);
        h.press(1158);
        EXPECT_EQ(h.messageLine(), a.line);
        EXPECT_EQ(h.edit(1157)->text(), "300");
    }
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

TEST(ControlPageLevelsLan, ServiceButtonsWalkTheirRows) {
    Bench b({{"127.0.6.140", "KA-55", 1}, {"127.0.6.141", "KB-43", 2}, {"127.0.6.142", "LM-65", 3},
             {"127.0.6.143", "NFB-6502", 4}});
    PageHarness& h = b.h;
    const std::string ops1 = Input(0x08, 0, 1), ops3 = Input(0x0B, 0, 3);
    struct Case {
        int button;
        std::vector<F> frames;
        QStringList messages;
        bool clearsTx;
    };
    const std::vector<Case> cases{
        {1161, {F{ops1}, F{}, F{ops3}, F{}}, {Refused("NFB-6502")}, true},  // OPS: KB-43 silent
        {1138,
         {F{Hex(protocol::BuildResetFrame(), 1)}, F{Hex(protocol::BuildResetFrame(), 2)}, F{Hex(protocol::BuildResetFrame(), 3)}, F{}},
         {Refused("NFB-6502")},
         false},
        {1190, {F{}, F{}, F{Input(0x16, 0, 3)}, F{}}, {Refused("KA-55"), Refused("KB-43"), Refused("NFB-6502")}, true},
        {1160, {F{}, F{}, F{Input(0x16, 0, 3)}, F{}}, {Refused("KA-55"), Refused("KB-43"), Refused("NFB-6502")}, false},
        {1191,
         {F{One(0xFD, 0xD2, 1)}, F{One(0xFD, 0xD2, 2)}, F{One(0xFD, 0xD2, 3)}, F{One(0xFD, 0xD2, 4)}},
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        b.clearLogs();
        h.edit(1077)->setText("before");
        h.press(c.button);
        b.expectFrames(c.frames);
        EXPECT_EQ(h.feedback.messages, c.messages);
        if (!c.clearsTx) {
            // The TX box was not cleared first; it shows the last frame sent.
            EXPECT_NE(h.tx(), "");
        }
    }
    EXPECT_EQ(b.displays[0]->state().resetCount, 1);
}

}  // namespace
}  // namespace dravik::pages::testing
