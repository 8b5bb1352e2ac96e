// The position grid: layout, placing rows in LAN and RS-232 mode, labelling, location tests
// and the matrix fields' data exchange.
#include "wall_fixture.h"

#include "targets/records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>

namespace dravik::pages::testing {
namespace {

using WallGrid = WallPageTest;

TEST_F(WallGrid, SetLaysOutSquareCellsRowByRow) {
    MakePage();
    page().appendRow("127.0.7.61", "KA-55", "0", "3", "1");
    const struct { int columns, rows, side; } cases[] = {{3, 2, 133}, {2, 3, 133}, {1, 1, 400}, {5, 5, 80}, {4, 1, 100}};
    for (const auto& c : cases) {
        SetMatrix(c.columns, c.rows);
        Click(1047);
        const auto buttons = page().gridButtons();
        ASSERT_EQ(static_cast<int>(buttons.size()), c.columns * c.rows);
        EXPECT_EQ(page().findChildren<controls::HoverButton*>().size(), buttons.size());  // old ones are gone
        for (int k = 0; k < c.columns * c.rows; ++k) {
            const QRect expected(720 + (k % c.columns) * (c.side + 1), 106 + (k / c.columns) * (c.side + 1), c.side, c.side);
            EXPECT_EQ(buttons[k]->geometry(), expected) << c.columns << 'x' << c.rows << " cell " << k;
            EXPECT_EQ(buttons[k]->text(), QString::number(k + 1));
            EXPECT_EQ(buttons[k]->property("controlId").toInt(), 10001 + k);
            EXPECT_EQ(buttons[k]->accessibleDescription(), QString("Position %1").arg(k + 1));
        }
        EXPECT_EQ(Cell(0, 3), "0");
    }
    SetMatrix(3, 2);
    Click(1047);
    EXPECT_EQ(page().gridButtons()[3]->pos(), page().gridButtons()[0]->pos() + QPoint(0, 134));  // "4" below "1"
}

TEST_F(WallGrid, MatrixFieldsAcceptOneToFive) {
    MakePage();
    SetMatrix(2, 2);
    Click(1047);
    const struct { const char *columns, *message; } cases[] = {
        {"6", "Please enter an integer between 1 and 5."},
        {"0", "Please enter an integer between 1 and 5."},
        {"abc", "Please enter an integer."},
        {"", "Please enter an integer."},
    };
    for (const auto& c : cases) {
        feedback_.clear();
        Child<SpinEdit>("columnsEdit")->setText(c.columns);
        Click(1047);
        EXPECT_EQ(feedback_.messages, QStringList{c.message}) << c.columns;
        EXPECT_EQ(page().gridButtons().size(), 4u);  // the last good size stays
    }
}

TEST_F(WallGrid, PlacingInLanMode) {
    MakePage();
    for (const char* ip : {"127.0.7.62", "127.0.7.63", "127.0.7.63"}) page().appendRow(ip, "KA-55", "0", "", "1");
    SetMatrix(3, 2);
    Click(1047);

    ClickCell(2);  // nothing selected: nothing happens
    EXPECT_EQ(Captions(), (QStringList{"1", "2", "3", "4", "5", "6"}));
    Select(0);
    ClickCell(2);
    Select(1);
    ClickCell(2);  // B takes cell 2 from A
    EXPECT_EQ(Column(3), (QStringList{"0", "2", "0"}));
    Select(0);
    ClickCell(5);  // A's "Pos" no longer names cell 2, so B stays shown there
    EXPECT_EQ(Captions(), (QStringList{"1", "127.0.7.63", "3", "4", "127.0.7.62", "6"}));
    EXPECT_EQ(Column(3), (QStringList{"5", "2", "0"}));
    ClickCell(1);  // moving A puts the number back on cell 5
    EXPECT_EQ(Captions(), (QStringList{"127.0.7.62", "127.0.7.63", "3", "4", "5", "6"}));
    // A second row with B's address placed on B's cell keeps that cell; B gives it up.
    Select(2);
    ClickCell(2);
    EXPECT_EQ(Column(3), (QStringList{"1", "0", "2"}));
    EXPECT_TRUE(feedback_.messages.isEmpty());
}

TEST_F(WallGrid, PlacingInSerialMode) {
    MakePage();
    Click(1137);
    SetMatrix(3, 2);
    Click(1047);
    auto* ids = Child<QComboBox>("monitorIdCombo");
    ids->setCurrentText("7");
    Click(1005);  // "In Sequence": the ID is the position, and clicks place nothing
    EXPECT_EQ(page().rowCount(), 1);
    EXPECT_EQ(Cell(0, 3), "7");
    Select(0);
    ClickCell(4);
    EXPECT_EQ(Cell(0, 3), "7");
    EXPECT_EQ(Captions(), (QStringList{"1", "2", "3", "4", "5", "6"}));

    Child<QCheckBox>("inSequenceCheck")->setChecked(false);
    ids->setCurrentText("3");
    Click(1005);
    EXPECT_EQ(Cell(1, 3), "0");
    Select(1);
    ClickCell(5);
    EXPECT_EQ(Cell(1, 3), "5");
    EXPECT_EQ(Captions(), (QStringList{"1", "2", "3", "4", "3", "6"}));
    ClickCell(2);
    EXPECT_EQ(Cell(1, 3), "2");
    EXPECT_EQ(Captions(), (QStringList{"1", "3", "3", "4", "0", "6"}));
    // Fields changed without "Set": a "Pos" beyond the cells that exist touches nothing.
    SetMatrix(5, 5);
    page().setCellText(1, 3, "20");
    ClickCell(6);
    EXPECT_EQ(Cell(1, 3), "6");
    EXPECT_EQ(Captions(), (QStringList{"1", "3", "3", "4", "0", "3"}));
}

TEST_F(WallGrid, LabellingAfterLoadNeedsACellPerRow) {
    for (int rows : {7, 6}) {
        targets::RecordFile file;
        file.header = targets::HeaderRecord::FromValues(2, 3, true);
        for (int i = 1; i <= rows; ++i) file.devices.push_back({"127.0.7." + std::to_string(70 + i), "KA-55", std::to_string(i), "1"});
        const auto bytes = targets::EncodeRecords(file, targets::RecordMode::Lan, targets::RecordKind::Tiling);
        MakePage();
        QFile out("MO_Tiling.log");
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        out.close();
        Click(1006);
        ASSERT_EQ(page().rowCount(), rows);
        const QStringList numbers{"1", "2", "3", "4", "5", "6"};
        EXPECT_EQ(Captions(), rows == 7 ? numbers
                                        : QStringList({"127.0.7.71", "127.0.7.72", "127.0.7.73", "127.0.7.74",
                                                       "127.0.7.75", "127.0.7.76"}));
    }
}

TEST_F(WallGrid, LocationTestOverLan) {
    auto display = StartDisplay("127.0.7.81");
    MakePage();
    SetMatrix(3, 1);
    Click(1047);
    Child<QCheckBox>("locationTestCheck")->setChecked(true);
    ClickCell(1);  // an empty list only beeps
    EXPECT_EQ(feedback_.beeps, 1);

    page().appendRow("127.0.7.81", "KA-55", "0", "1", "4");
    page().appendRow("127.0.7.82", "KA-55", "0", "2", "30");  // nobody there
    page().LabelGrid();
    Child<QLineEdit>("txEdit")->setText("before");
    ClickCell(1);
    ASSERT_TRUE(display->waitForLog(1, 2s));
    EXPECT_EQ(Frames(*display), std::vector<std::string>{"A6 04 00 00 00 04 01 FD A1 FB"});
    ClickCell(2);
    ClickCell(3);  // "3" names no row
    EXPECT_EQ(Column(2), (QStringList{"Y", "N"}));
    EXPECT_EQ(Child<QLineEdit>("txEdit")->text(), "before");
    EXPECT_EQ(Column(3), (QStringList{"1", "2"}));  // a test places nothing
}

TEST_F(WallGrid, LocationTestOverSerial) {
    auto line = StartLine({2});
    MakePage({QString::fromStdString(line->devicePath())});
    Click(1137);
    SetMatrix(2, 1);
    Click(1047);
    Child<QCheckBox>("locationTestCheck")->setChecked(true);
    page().appendRow("2", "KA-55", "", "2", "2");
    page().LabelGrid();
    ClickCell(2);  // port closed: nothing goes out and nothing is said
    EXPECT_TRUE(feedback_.messages.isEmpty());
    EXPECT_EQ(Child<QLineEdit>("txEdit")->text(), "A6 02 00 00 00 04 01 FD A1 FD ");

    OpenSerial(*line);
    ClickCell(2);
    ASSERT_TRUE(line->waitForLog(1, 2s));
    EXPECT_EQ(Frames(*line), std::vector<std::string>{"A6 02 00 00 00 04 01 FD A1 FD"});
}

}  // namespace
}  // namespace dravik::pages::testing
