// The buttons of the right half over RS-232: levels and locks with their pauses, the
// brightness exchange and the status query on a pseudo-terminal line.
#include "serial_bench.h"

namespace dravik::pages::testing {
namespace {

QString Refused(const QString& model) { return model + " No This Function or unsupported !\r\n"; }

using F = std::vector<std::string>;

TEST(ControlPageSerialLevels, BacklightVolumeAndLocksByModel) {
    SerialBench b({Display("KA-55", 1), Display("KB-43", 2), Display("MS-15G", 3), Display("LM-43", 4)});
    PageHarness& h = b.h;
    h.addRow("1", "KA-55");
    h.addRow("2", "KB-43");
    h.addRow("3", "MS-15G");
    h.addRow("4", "LM-43");
    struct Case {
        int button;
        F frames;
        QStringList messages;
    };
    const std::vector<Case> cases{
        {1109, {One(0x30, 50, 1), One(0x30, 50, 3)}, {Refused("KB-43")}},  // LM-43: silent
        {1118, {One(0x44, 30, 1), One(0x44, 30, 2), One(0x44, 30, 3), Bytes(0x44, {30, 30}, 4)}, {}},
        {1121, {One(0x1C, 0x03, 1), One(0x1C, 0x03, 2), One(0x1C, 0x07, 3), One(0x1A, 0x01, 4)}, {}},
        {1122, {One(0x1C, 0x03, 1), One(0x1C, 0x03, 2), One(0x1C, 0x01, 4)}, {}},  // MS-15G: silent
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        h.feedback.clear();
        h.press(c.button);
        EXPECT_EQ(b.frames(c.frames.size()), c.frames);
        EXPECT_EQ(h.feedback.messages, c.messages);
    }
    // "Custom" with one selected row goes through the chosen interface only.
    h.select(3);
    h.press(1040);
    EXPECT_EQ(b.frames(1), F{Input(0x18, 0, 4)});
    // IR Lock for one selected silent row: the message once.
    h.feedback.clear();
    h.select(2);
    h.press(1122);
    EXPECT_EQ(h.feedback.messages, QStringList{Refused("MS-15G")});
    EXPECT_TRUE(b.frames(0).empty());
}

TEST(ControlPageSerialLevels, BrightnessSetFollowsOnlyADataReply) {
    SerialBench b({Display("LM-55", 1), Display("KA-55", 2, sim::Fault::ShortReply), Display("SVL-4301", 3)});
    PageHarness& h = b.h;
    h.addRow("1", "LM-55");
    h.addRow("2", "KA-55");
    h.addRow("3", "SVL-4301");
    h.edit(1110)->setText("60");
    h.press(1035);
    const std::array<protocol::Byte, 7> video = sim::DisplayState{}.video;
    EXPECT_EQ(b.frames(4), (F{
                               Hex(protocol::BuildVideoParamsQueryFrame(), 1),
                               Bytes(0x32, {60, video[1], video[2], video[3], video[4], video[5], video[6]}, 1),
                               // An acknowledge (byte 4 = 4): no set frame.
                               Hex(protocol::BuildVideoParamsQueryFrame(), 2),
                               One(0xC0, 60, 3),
                           }));
    EXPECT_EQ(h.cell(0, 2), "Y");
    EXPECT_EQ(h.cell(1, 2), "Y");
    EXPECT_EQ(h.cell(2, 2), "0");
    EXPECT_TRUE(h.feedback.messages.isEmpty());
    EXPECT_EQ(b.line->display(1)->state().brightness(), 60);
}

TEST(ControlPageSerialLevels, TemperatureFromTheSelectedId) {
    SerialBench b({Display("KA-55", 3)});
    PageHarness& h = b.h;
    b.line->display(3)->setTemperature(-10);
    h.addRow("3", "KA-55");
    h.addRow("4", "KA-55");  // nobody answers to ID 4
    h.select(0);
    h.press(1151);
    EXPECT_EQ(h.edit(1152)->text(), "-10");
    EXPECT_EQ(h.cell(0, 2), "Y");
    EXPECT_TRUE(h.feedback.messages.isEmpty());

    h.select(1);
    h.press(1151);
    EXPECT_EQ(h.feedback.messages, QStringList{" no receive Data from ID: 4 Monitor"});
    EXPECT_EQ(h.cell(1, 2), "0");
    EXPECT_EQ(h.edit(1152)->text(), "-10");
}

}  // namespace
}  // namespace dravik::pages::testing
