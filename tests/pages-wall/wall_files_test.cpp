// Start-up, rows, interface switches and the tiling files in a temporary current directory.
#include "wall_fixture.h"

#include "controls/ipv4_edit.h"
#include "targets/records.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>

namespace dravik::pages::testing {
namespace {

using WallFiles = WallPageTest;

void WriteFile(const QString& name, const targets::RecordFile& file, targets::RecordMode mode, targets::RecordKind kind) {
    const auto bytes = targets::EncodeRecords(file, mode, kind);
    QFile out(name);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

void WriteRaw(const QString& name, const QByteArray& bytes) {
    QFile out(name);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
}

TEST_F(WallFiles, StartsInLanModeWithItsControls) {
    MakePage();
    auto* header = List()->horizontalHeader();
    QStringList headings;
    for (int c = 0; c < 5; ++c) headings << List()->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headings, (QStringList{"IP Address", "Model", "LINK", "Pos", "ID"}));
    EXPECT_EQ(header->sectionSize(0), 115);
    EXPECT_EQ(List()->accessibleName(), "Wall target list");
    auto* models = Child<QComboBox>("modelCombo");
    EXPECT_EQ(models->count(), 19);
    EXPECT_EQ(models->currentText(), "KA-42");
    EXPECT_EQ(Child<QComboBox>("monitorIdCombo")->itemText(24), "25");
    EXPECT_EQ(Child<QComboBox>("portCombo")->currentText(), "0");
    EXPECT_EQ(page().ipAddressText(), "192.0.2.10");
    EXPECT_EQ(page().redGain() + page().greenGain() + page().blueGain(), 3 * 128);
    EXPECT_FALSE(Child<QCheckBox>("frameCompCheck")->isVisible());
    EXPECT_TRUE(page().frameCompensation());
    for (int id : {1155}) EXPECT_TRUE(Button(id)->isEnabled()) << id;
    for (int id : {1125, 1126, 1127, 1172, 1186, 1188}) EXPECT_FALSE(Button(id)->isEnabled()) << id;
    for (int id : {1026, 1027, 1056, 1057, 1061, 1047, 1005, 1007, 1006, 1060, 1136, 1137, 1145, 1146, 1064})
        EXPECT_FALSE(Button(id)->accessibleName().isEmpty()) << id;
    EXPECT_EQ(page().gridButtons().size(), 1u);  // no file at all: empty list, 1 x 1 grid
    EXPECT_EQ(page().gridButtons()[0]->geometry(), QRect(720, 106, 400, 400));
    EXPECT_EQ(page().rowCount(), 0);
}

TEST_F(WallFiles, AddRemoveAndSwitch) {
    MakePage();
    Child<controls::Ipv4Edit>("ipEdit")->clear();
    Click(1005);
    Click(1007);
    Child<controls::Ipv4Edit>("ipEdit")->setAddress("127.0.7.9");
    Click(1005);
    Click(1005);
    Click(1007);
    EXPECT_EQ(feedback_.messages, (QStringList{"Please input IP Address", "Please Load or Input Data!",
                                               "IP:127.0.7.9 exist", "Please select Delete Item"}));
    EXPECT_EQ(Column(2) + Column(3) + Column(4), (QStringList{"0", "", "1"}));

    Click(1137);  // RS-232, column 0 "ID "; with no file to load the list stays as it was
    EXPECT_EQ(page().rowCount(), 1);
    EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), "ID ");
    EXPECT_EQ(List()->horizontalHeader()->sectionSize(0), 100);
    EXPECT_FALSE(Button(1155)->isEnabled());
    EXPECT_TRUE(Button(1126)->isEnabled() && Button(1125)->isEnabled());
    EXPECT_FALSE(Button(1127)->isEnabled() || Button(1186)->isEnabled() || Button(1188)->isEnabled());
    feedback_.clear();
    Child<QComboBox>("monitorIdCombo")->setCurrentText("4");
    Click(1005);
    Click(1005);
    EXPECT_EQ(feedback_.messages, QStringList{"ID:4 exit"});
    Select(1);
    Click(1007);
    EXPECT_EQ(Column(0), QStringList{"127.0.7.9"});
    Click(1136);
    EXPECT_EQ(List()->horizontalHeaderItem(0)->text(), "IP Address");
    EXPECT_EQ(List()->horizontalHeader()->sectionSize(0), 115);
}

TEST_F(WallFiles, SaveAndLoadKeepRowsMatrixAndTwoDigitValues) {
    for (bool lan : {true, false}) {
        MakePage();
        if (!lan) Click(1137);
        page().removeAllRows();
        page().appendRow(lan ? "127.0.7.31" : "3", "KC-55D3", "Y", "1", "3");
        page().appendRow(lan ? "127.0.7.32" : "25", "KA-55Q", "N", "12", "25");
        SetMatrix(4, 3);
        Click(1060);
        ASSERT_TRUE(QFile::exists(lan ? "MO_Tiling.log" : "MO_TilingR.log"));
        EXPECT_EQ(QFileInfo(lan ? "MO_Tiling.log" : "MO_TilingR.log").size(), 90);

        MakePage();  // a new run loads the LAN file; switching loads the RS-232 one
        if (!lan) Click(1137);
        EXPECT_EQ(Column(0), lan ? QStringList({"127.0.7.31", "127.0.7.32"}) : QStringList({"3", "25"}));
        EXPECT_EQ(Column(1) + Column(2), (QStringList{"KC-55D3", "KA-55Q", "0", "0"}));
        EXPECT_EQ(Column(3) + Column(4), (QStringList{"1", "12", "3", "25"}));
        EXPECT_EQ(page().matrixColumns() * 10 + page().matrixRows(), 43);
        EXPECT_EQ(page().gridButtons().size(), 12u);
        EXPECT_EQ(page().gridButtons()[11]->text(), lan ? "127.0.7.32" : "25");
    }
    EXPECT_TRUE(feedback_.messages.isEmpty());
}

TEST_F(WallFiles, FallsBackToTheControlPageList) {
    targets::RecordFile list;
    list.header = targets::HeaderRecord::FromValues(2, 1, false);
    list.devices = {{"127.0.7.41", "KA-55", "", "5"}, {"127.0.7.42", "LM-55", "", "6"}};
    WriteFile("MO_IP.log", list, targets::RecordMode::Lan, targets::RecordKind::List);
    MakePage();
    EXPECT_EQ(Column(0) + Column(3) + Column(4), (QStringList{"127.0.7.41", "127.0.7.42", "", "", "5", "6"}));
    EXPECT_EQ(page().gridButtons().size(), 2u);
    EXPECT_FALSE(page().frameCompensation());
    Click(1137);  // no "MO_TilingR.log" either: the IDs of "MO_IP.log"
    EXPECT_EQ(Column(0), (QStringList{"5", "6"}));
}

TEST_F(WallFiles, SaveFailureLeavesTheList) {
    MakePage();
    ASSERT_TRUE(QDir().mkdir("MO_Tiling.log"));
    page().appendRow("127.0.7.43", "KA-55", "0", "1", "1");
    Click(1060);
    EXPECT_EQ(feedback_.messages, QStringList{"log File Opening Error!"});
    EXPECT_EQ(page().rowCount(), 1);
    Click(1006);  // a directory is no tiling file; nor is there "MO_IP.log": nothing changes
    EXPECT_EQ(page().rowCount(), 1);
}

TEST_F(WallFiles, OddFilesLoadWithinBounds) {
    QByteArray header(30, '\0');
    header.replace(0, 3, "300");
    header.replace(16, 1, "0");
    header[26] = '1';
    QByteArray record(30, '\0');
    record.replace(0, 10, "127.0.7.44");
    record.replace(16, 5, "KA-55");
    record.replace(26, 4, "1234");  // no zero bytes: each field ends at its width
    const struct { const char* name; QByteArray bytes; int rows, columns, matrixRows; } cases[] = {
        {"too short for a header", QByteArray("12"), 0, 1, 1},
        {"out-of-range matrix", header + record + record.left(20), 2, 5, 1},
        {"huge", header + record.repeated(5000), 4095, 5, 1},
    };
    for (const auto& c : cases) {
        WriteRaw("MO_Tiling.log", c.bytes);
        MakePage();
        EXPECT_EQ(page().rowCount(), c.rows) << c.name;
        EXPECT_EQ(page().matrixColumns(), c.columns) << c.name;
        EXPECT_EQ(page().matrixRows(), c.matrixRows) << c.name;
        if (c.rows > 0) {
            EXPECT_EQ(Column(3).first() + Column(4).first(), "1234") << c.name;
        }
    }
}

}  // namespace
}  // namespace dravik::pages::testing
