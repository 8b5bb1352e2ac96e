// Power, wall on/off and wall settings as the displays receive them, over LAN and RS-232.
#include "wall_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>

#include <map>

namespace dravik::pages::testing {
namespace {

using WallCommands = WallPageTest;

// Data bytes 8..11 (E F P M) of the last frame a display received.
std::string LastSettings(const sim::LanDisplay& d) {
    const auto frames = Frames(d);
    return frames.empty() ? "none" : frames.back().substr(24, 11);
}

TEST_F(WallCommands, UpdateSendsEachRowItsPositionAndMatrixByte) {
    auto q = StartDisplay("127.0.7.1", "KA-55Q");
    auto plain = StartDisplay("127.0.7.2", "KA-55");
    auto empty = StartDisplay("127.0.7.3", "KC-46D");
    MakePage();
    page().appendRow("127.0.7.1", "KA-55Q", "0", "4", "2");
    page().appendRow("127.0.7.2", "KA-55", "0", "", "3");
    page().appendRow("127.0.7.3", "", "0", "1", "4");  // an empty model counts as base 10
    Select(1);  // "Update" goes to every row whatever is selected

    const struct {
        int columns, rows;
        bool enable;
        const char *q, *plain, *empty;
    } cases[] = {
        {3, 2, true, "01 01 04 12", "01 01 00 0D", "01 01 01 0D"},
        {2, 2, true, "01 01 04 11", "01 01 00 0C", "01 01 01 0C"},
        {5, 5, true, "01 01 04 41", "01 01 00 2D", "01 01 01 2D"},
        {1, 1, false, "00 01 04 01", "00 01 00 01", "00 01 01 01"},
    };
    for (const auto& c : cases) {
        SetMatrix(c.columns, c.rows);
        Child<QCheckBox>("enableWallCheck")->setChecked(c.enable);
        Click(1061);
        EXPECT_EQ(LastSettings(*q), c.q) << c.columns << 'x' << c.rows;
        EXPECT_EQ(LastSettings(*plain), c.plain) << c.columns << 'x' << c.rows;
        EXPECT_EQ(LastSettings(*empty), c.empty) << c.columns << 'x' << c.rows;
    }
    EXPECT_EQ(Frames(*q).front(), "A6 02 00 00 00 07 01 22 01 01 04 12 96");
    // The TX box shows the last frame as it went out, ending with a blank.
    EXPECT_EQ(Child<QLineEdit>("txEdit")->text(), QString::fromStdString(Frames(*empty).back()) + ' ');
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "Y"}));
    EXPECT_TRUE(feedback_.messages.isEmpty());
}

TEST_F(WallCommands, PowerGoesToTheSelectedRowWallModeToAll) {
    std::vector<std::unique_ptr<sim::LanDisplay>> d;
    for (int i = 0; i < 4; ++i) d.push_back(StartDisplay("127.0.7." + std::to_string(11 + i)));
    MakePage();
    const char* ids[] = {"0", "26", "", "7"};
    for (int i = 0; i < 4; ++i) page().appendRow(QString("127.0.7.%1").arg(11 + i), "KA-55", "0", "", ids[i]);
    page().appendRow("127.0.7.15", "KA-55", "0", "", "1");  // nobody there

    Click(1027);  // power off, no selection: every row
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Frames(*d[i]), std::vector<std::string>{"A6 01 00 00 00 04 01 18 01 BB"});
    EXPECT_EQ(Frames(*d[3]), std::vector<std::string>{"A6 07 00 00 00 04 01 18 01 BD"});
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "Y", "Y", "N"}));

    for (auto& display : d) display->clearLog();
    Select(3);
    Click(1026);  // power on: only the selected row
    EXPECT_EQ(Frames(*d[3]), std::vector<std::string>{"A6 07 00 00 00 04 01 18 02 BE"});
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Frames(*d[i]).empty());

    Click(1056);  // wall on with a row selected: still every row
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Frames(*d[i]).back(), "A6 01 00 00 00 07 01 22 01 02 00 00 80");
    EXPECT_EQ(Frames(*d[3]).back(), "A6 07 00 00 00 07 01 22 01 02 00 00 86");
    EXPECT_EQ(feedback_.beeps, 0);
}

TEST_F(WallCommands, EmptyListOnlyBeeps) {
    MakePage();
    for (int id : {1026, 1027, 1056, 1057, 1061}) {
        const int before = feedback_.beeps;
        Click(id);
        EXPECT_EQ(feedback_.beeps, before + 1) << id;
    }
    EXPECT_TRUE(feedback_.messages.isEmpty());
}

TEST_F(WallCommands, SerialPortClosedStopsAtOnce) {
    MakePage();
    Click(1137);
    for (int i = 1; i <= 5; ++i) page().appendRow(QString::number(i), "KA-55", "", "0", QString::number(i));
    for (int id : {1026, 1057, 1061}) {
        feedback_.clear();
        Click(id);
        EXPECT_EQ(feedback_.messages, QStringList{"COM Port Closed "}) << id;
        EXPECT_EQ(Child<QLabel>("statusLabel")->text(), "Send.....");
    }
}

TEST_F(WallCommands, SerialRowsInOrderAndNoSecondLoopDuringTheWaits) {
    auto line = StartLine({1, 2});
    MakePage({QString::fromStdString(line->devicePath())});
    OpenSerial(*line);
    for (const char* id : {"1", "2", "30"}) page().appendRow(id, "KA-55", "", "0", id);

    // Presses that arrive while the loop waits between rows: they must not rebuild the frame
    // or start a loop of their own; they wait their turn and go out after it, in order.
    QTimer::singleShot(100, &page(), [this] {
        Click(1027);
        Click(1061);
    });
    Click(1026);
    Drain();
    EXPECT_EQ(Frames(*line), (std::vector<std::string>{
                                 "A6 01 00 00 00 04 01 18 02 B8", "A6 02 00 00 00 04 01 18 02 BB",
                                 "A6 01 00 00 00 04 01 18 02 B8", "A6 01 00 00 00 04 01 18 01 BB",
                                 "A6 02 00 00 00 04 01 18 01 B8", "A6 01 00 00 00 04 01 18 01 BB",
                                 "A6 01 00 00 00 07 01 22 01 01 00 01 82", "A6 02 00 00 00 07 01 22 01 01 00 01 81",
                                 "A6 01 00 00 00 07 01 22 01 01 00 01 82"}));
    // Afterwards the page takes commands again; a selected row gets the power frame alone.
    line->clearLog();
    Select(1);
    Click(1027);
    ASSERT_TRUE(line->waitForLog(1, 2s));
    EXPECT_EQ(Frames(*line), std::vector<std::string>{"A6 02 00 00 00 04 01 18 01 B8"});
    EXPECT_TRUE(feedback_.messages.isEmpty());
}

// While a command walks the rows, the list, the interface and the port stay as they are: the
// walk marks its rows by their place in the list, and the port is the worker's meanwhile.
TEST_F(WallCommands, ListInterfaceAndPortWaitWhileACommandRuns) {
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    MakePage();
    for (int i = 0; i < 3; ++i) displays.push_back(StartDisplay("127.0.7." + std::to_string(170 + i)));
    for (int i = 0; i < 4; ++i) page().appendRow(QString("127.0.7.%1").arg(170 + i), "KA-55", "0", "", "1");
    const QStringList rowsBefore = Column(0);
    bool pressedDuringTheWalk = false;
    QTimer::singleShot(150, &page(), [this, &pressedDuringTheWalk] {
        pressedDuringTheWalk = page().flowRunning();
        Select(0);
        for (int id : {1007, 1006, 1005, 1137}) QTest::mouseClick(Button(id), Qt::LeftButton);
    });
    Click(1056);  // "On" (wall mode) to every row, 100 ms each
    ASSERT_TRUE(pressedDuringTheWalk);
    EXPECT_EQ(Column(0), rowsBefore);
    EXPECT_EQ(Column(2), (QStringList{"Y", "Y", "Y", "N"}));  // nobody at the fourth
    EXPECT_TRUE(page().lanMode());
    EXPECT_TRUE(Child<QAbstractButton>("lanRadio")->isChecked());
    EXPECT_FALSE(Child<QAbstractButton>("serialRadio")->isChecked());

    // RS-232: "Close" during the walk leaves the port open and every row gets its frame.
    auto line = StartLine({1, 2, 3});
    page().removeAllRows();
    OpenSerial(*line);
    for (const char* id : {"1", "2", "3"}) page().appendRow(id, "KA-55", "", "0", id);
    QTimer::singleShot(150, &page(), [this] {
        for (int id : {1127, 1125, 1136}) QTest::mouseClick(Button(id), Qt::LeftButton);
    });
    Click(1056);
    ASSERT_TRUE(line->waitForLog(3, 2s));
    EXPECT_TRUE(page().serialPort().isOpen());
    EXPECT_FALSE(page().lanMode());
    EXPECT_EQ(page().rowCount(), 3);
    EXPECT_TRUE(feedback_.messages.isEmpty()) << feedback_.messages.join('|').toStdString();
}


// A command pressed while another runs waits its turn and goes to the row selected when it
// starts; meanwhile the list, interface and port controls are disabled, and say why.
TEST_F(WallCommands, ACommandPressedDuringARunWaitsItsTurnWhileTheListWaitsVisibly) {
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    MakePage();
    for (int i = 0; i < 3; ++i) displays.push_back(StartDisplay("127.0.7." + std::to_string(180 + i)));
    for (int i = 0; i < 3; ++i) page().appendRow(QString("127.0.7.%1").arg(180 + i), "KA-55", "0", "", "1");
    const char* locked[] = {"addDeviceButton", "removeDeviceButton", "loadListButton", "saveListButton", "lanRadio",
                            "serialRadio",     "comSearchButton",    "openButton",     "closeButton",    "portCombo"};
    std::map<std::string, bool> before, during;
    for (const char* name : locked) before[name] = Child(name)->isEnabled();
    QString waiting;
    QTimer::singleShot(120, &page(), [&] {
        QTest::mouseClick(Button(1027), Qt::LeftButton);  // Power "Off"
        Select(1);
        waiting = Child<QLabel>("queueLine")->text();
        for (const char* name : locked) during[name] = Child(name)->isEnabled();
    });
    Click(1056);  // "On" (wall mode) to every row
    Drain();
    EXPECT_EQ(waiting, "Next: Power Off");
    for (const char* name : locked) {
        EXPECT_FALSE(during[name]) << name;
        EXPECT_EQ(Child(name)->isEnabled(), before[name]) << name;
    }
    EXPECT_EQ(Frames(*displays[0]).size(), 1u);
    EXPECT_EQ(Frames(*displays[2]).size(), 1u);
    ASSERT_EQ(Frames(*displays[1]).size(), 2u);
    EXPECT_EQ(Frames(*displays[1]).back(), "A6 01 00 00 00 04 01 18 01 BB");
    EXPECT_EQ(Child<QLabel>("queueLine")->text(), "");
}

// The fields go with "Update": a bad one says so once, not once per row; a column count typed
// during the walk reaches the rows still to come and stays in its edit.
TEST_F(WallCommands, UpdateTakesItsFieldsAtTheStartAndWhatIsTypedDuringTheWalk) {
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    MakePage();
    for (int i = 0; i < 4; ++i) displays.push_back(StartDisplay("127.0.7." + std::to_string(190 + i)));
    for (int i = 0; i < 4; ++i) page().appendRow(QString("127.0.7.%1").arg(190 + i), "KA-55", "0", "", "1");
    SetMatrix(9, 2);
    Click(1061);
    Drain();
    EXPECT_EQ(feedback_.messages, QStringList{"Please enter an integer between 1 and 5."});

    // Typed once the first row is done; each row after it takes 100 ms at least.
    feedback_.clear();
    SetMatrix(2, 2);
    auto* progress = Child<QProgressBar>("discoveryProgress");
    const auto typing = QObject::connect(progress, &QProgressBar::valueChanged, &page(), [&](int done) {
        if (done == 1) Child<SpinEdit>("columnsEdit")->setText("3");
    });
    Click(1061);
    Drain();
    QObject::disconnect(typing);
    EXPECT_EQ(LastSettings(*displays[0]), "01 01 00 0C");
    EXPECT_EQ(LastSettings(*displays[3]), "01 01 00 0D");
    EXPECT_EQ(Child<SpinEdit>("columnsEdit")->text(), "3");
    EXPECT_TRUE(feedback_.messages.isEmpty());
}

}  // namespace
}  // namespace dravik::pages::testing
