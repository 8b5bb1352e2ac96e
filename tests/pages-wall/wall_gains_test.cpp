// "RGB Color Setting": reading the gains back and writing them, over LAN and RS-232.
#include "wall_fixture.h"

#include <QLineEdit>

namespace dravik::pages::testing {
namespace {

using WallGains = WallPageTest;

TEST_F(WallGains, UpdateSendsTheFormTheModelNeeds) {
    auto longForm = StartDisplay("127.0.7.101", "KC-55D3");
    auto shortForm = StartDisplay("127.0.7.102", "KA-55");
    MakePage();
    page().appendRow("127.0.7.101", "KC-55D3", "0", "", "3");
    page().appendRow("127.0.7.102", "KA-55", "0", "", "26");
    page().appendRow("127.0.7.103", "KA-55", "0", "", "1");  // nobody there
    Child<SpinEdit>("redEdit")->setText("255");
    Child<SpinEdit>("greenEdit")->setText("0");

    Click(1146);  // nothing selected
    EXPECT_EQ(feedback_.messages, QStringList{" Please select only one display!"});
    for (int row : {0, 1, 2}) {
        Select(row);
        Click(1146);
    }
    ASSERT_TRUE(longForm->waitForLog(1, 2s) && shortForm->waitForLog(1, 2s));
    EXPECT_EQ(Frames(*longForm), std::vector<std::string>{"A6 03 00 00 00 09 01 36 FF 00 80 80 80 80 64"});
    EXPECT_EQ(Frames(*shortForm), std::vector<std::string>{"A6 01 00 00 00 06 01 36 FF 00 80 E9"});
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "N"}));
    EXPECT_EQ(feedback_.questions.size(), 4);
    EXPECT_EQ(feedback_.questions.first(), "Update RGB Gain ?");

    // "No" sends nothing and does not beep, even with an empty list.
    feedback_.clear();
    feedback_.answerYes = false;
    Click(1146);
    page().removeAllRows();
    Click(1146);
    EXPECT_EQ(feedback_.beeps, 0);
    EXPECT_TRUE(feedback_.messages.isEmpty());
    EXPECT_EQ(Frames(*shortForm).size(), 1u);
}

TEST_F(WallGains, GainFieldsAcceptZeroTo255) {
    auto display = StartDisplay("127.0.7.104");
    MakePage();
    page().appendRow("127.0.7.104", "KA-55", "0", "", "1");
    Select(0);
    const struct { const char *red, *green, *message, *sent; } cases[] = {
        {"256", "7", "Please enter an integer between 0 and 255.", "80 80 80"},
        {"x", "7", "Please enter an integer.", "80 80 80"},
        {"10", "-1", "Please enter an integer between 0 and 255.", "0A 80 80"},  // red was read
    };
    for (const auto& c : cases) {
        feedback_.clear();
        display->clearLog();
        Child<SpinEdit>("redEdit")->setText(c.red);
        Child<SpinEdit>("greenEdit")->setText(c.green);
        Click(1146);
        EXPECT_EQ(feedback_.messages, QStringList{c.message}) << c.red << ' ' << c.green;
        ASSERT_TRUE(display->waitForLog(1, 2s));
        EXPECT_EQ(Frames(*display).front().substr(24, 8), c.sent) << c.red << ' ' << c.green;
    }
}

TEST_F(WallGains, GetDataOverLan) {
    auto good = StartDisplay("127.0.7.111");
    sim::DisplayState state = good->state();
    state.gains = {100, 50, 10};
    good->setState(state);
    auto silent = StartDisplay("127.0.7.112", "KA-55", sim::Fault::NeverAnswer);
    auto wrongHeader = StartDisplay("127.0.7.113", "KA-55", sim::Fault::WrongHeader);
    auto shortReply = StartDisplay("127.0.7.114", "KA-55", sim::Fault::ShortReply);
    auto nack = StartDisplay("127.0.7.115", "KA-55", sim::Fault::Nack);
    MakePage();
    for (int i = 2; i <= 5; ++i) page().appendRow(QString("127.0.7.11%1").arg(i), "KA-55", "0", "", "2");
    page().appendRow("127.0.7.116", "KA-55", "0", "", "2");  // nobody there

    Click(1145);
    EXPECT_EQ(feedback_.messages, QStringList{" Please select only one display!"});
    // Replies that are no gain reply leave the gains alone.
    for (int row = 0; row < 5; ++row) {
        Select(row);
        Click(1145);
        EXPECT_EQ(page().redGain() * 1000000 + page().greenGain() * 1000 + page().blueGain(), 128128128) << row;
    }
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "Y", "Y", "N"}));
    EXPECT_EQ(Child<QLineEdit>("txEdit")->text(), "");
    EXPECT_EQ(Frames(*silent), std::vector<std::string>{"A6 02 00 00 00 03 01 37 91"});

    page().appendRow("127.0.7.111", "KA-55", "0", "", "1");
    Select(5);
    Click(1145);
    EXPECT_EQ(page().redGain(), 100);
    EXPECT_EQ(page().greenGain(), 50);
    EXPECT_EQ(page().blueGain(), 10);
    EXPECT_EQ(Child<SpinEdit>("redEdit")->text(), "100");
    EXPECT_EQ(Child<QLineEdit>("txEdit")->text(), "A6 01 00 00 00 03 01 37 92 ");
    EXPECT_EQ(page().replyBuffer().count, 0);
}

TEST_F(WallGains, GetDataOverSerial) {
    auto line = StartLine({1, 3});
    line->display(3)->setState([&] {
        sim::DisplayState s = line->display(3)->state();
        s.gains = {100, 50, 10};
        return s;
    }());
    MakePage({QString::fromStdString(line->devicePath())});
    Click(1137);
    page().appendRow("3", "KA-55", "", "0", "3");
    page().appendRow("9", "KA-55", "", "0", "9");  // no display with ID 9
    Click(1145);
    EXPECT_EQ(feedback_.messages, QStringList{" Please select one display!"});
    Select(0);
    Click(1145);
    EXPECT_EQ(feedback_.messages.last(), "COM Port Closed ");

    OpenSerial(*line);
    Click(1026);  // the acknowledges of a wall command must not pass for the gain reply
    ASSERT_TRUE(line->waitForLog(1, 2s));
    Click(1145);
    EXPECT_EQ(page().redGain() * 1000000 + page().greenGain() * 1000 + page().blueGain(), 100050010);
    EXPECT_EQ(Column(2), (QStringList{"", ""}));  // RS-232 never touches LINK here
    line->clearLog();
    Click(1146);  // the gains just read go back to the same display
    ASSERT_TRUE(line->waitForLog(1, 2s));
    EXPECT_EQ(Frames(*line), std::vector<std::string>{"A6 03 00 00 00 06 01 36 64 32 0A C8"});

    feedback_.clear();
    Select(1);
    Click(1145);
    EXPECT_EQ(feedback_.messages, QStringList{" no receive Data from ID: 9 Monitor"});
    EXPECT_EQ(Child<QLabel>("statusLabel")->text(), "Sending...");
}

}  // namespace
}  // namespace dravik::pages::testing
