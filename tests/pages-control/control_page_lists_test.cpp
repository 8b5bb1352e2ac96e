// The target list and its list files through the page: "Add Device", "Remove Device",
// "Save List", "Load List", and the reload at start-up and after every interface switch.
#include "page_harness.h"

#include "targets/records.h"

#include <QFile>
#include <QFileInfo>

namespace dravik::pages::testing {
namespace {

QByteArray ReadFile(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::vector<QStringList> Rows(const PageHarness& h) {
    std::vector<QStringList> rows;
    for (int r = 0; r < h.page->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < 5; ++c) row << h.cell(r, c);
        rows.push_back(row);
    }
    return rows;
}

TEST(ControlPageLists, SavedRowsComeBackAfterASwitchAndAtStartUp) {
    PageHarness h;
    h.addRow("127.0.6.30", "LM-55", "3");
    h.addRow("127.0.6.31", "KA-55", "12");  // two-digit ID
    const std::vector<QStringList> lan{{"127.0.6.30", "LM-55", "0", "", "3"}, {"127.0.6.31", "KA-55", "0", "", "12"}};
    EXPECT_EQ(Rows(h), lan);
    h.press(1009);
    EXPECT_TRUE(QFile::exists("MO_IP.log"));
    EXPECT_EQ(ReadFile("MO_IP.log").size(), 3 * 30);

    // RS-232 has its own file: none yet, so the list is empty.
    h.toRs232();
    EXPECT_EQ(h.page->rowCount(), 0);
    h.addRow("4", "MS-15G");
    h.addRow("25", "LM-43");
    const std::vector<QStringList> serial{{"4", "MS-15G", "0", "", "4"}, {"25", "LM-43", "0", "", "25"}};
    EXPECT_EQ(Rows(h), serial);
    h.press(1009);

    h.toLan();
    EXPECT_EQ(Rows(h), lan);
    h.toRs232();
    EXPECT_EQ(Rows(h), serial);

    // A new start opens in LAN mode with the LAN file.
    h.createPage();
    EXPECT_EQ(Rows(h), lan);
    // "Load List" replaces unsaved changes with the file, and LINK starts at "0" again.
    h.page->setCellText(0, 2, "Y");
    h.addRow("127.0.6.32", "LD-84", "2");
    h.press(1006);
    EXPECT_EQ(Rows(h), lan);
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

TEST(ControlPageLists, DuplicatesAndMissingInputAreRefused) {
    PageHarness h;
    h.addRow("127.0.6.33", "LM-55", "3");
    h.addRow("127.0.6.33", "KA-55", "4");
    EXPECT_EQ(h.feedback.messages, QStringList{"IP:127.0.6.33 exist"});
    EXPECT_EQ(h.page->rowCount(), 1);

    h.feedback.clear();
    h.as<controls::Ipv4Edit>(1008)->clear();
    h.press(1005);
    EXPECT_EQ(h.feedback.messages, QStringList{"Please input IP Address"});
    EXPECT_EQ(h.page->rowCount(), 1);

    h.toRs232();
    h.feedback.clear();
    h.addRow("4", "KA-55");
    h.addRow("4", "LM-55");
    EXPECT_EQ(h.feedback.messages, QStringList{"ID:4 exit"});
    EXPECT_EQ(h.page->rowCount(), 1);
}

TEST(ControlPageLists, TypedComboTextIsTaken) {
    PageHarness h;
    h.combo(1003)->setCurrentText("LM-55 ");  // typed, with a blank: kept as typed
    h.as<controls::Ipv4Edit>(1008)->setAddress("127.0.6.34");
    h.combo(1135)->setCurrentText("30");
    h.press(1005);
    ASSERT_EQ(h.page->rowCount(), 1);
    EXPECT_EQ(h.cell(0, 1), "LM-55 ");
    EXPECT_EQ(h.cell(0, 4), "30");
    h.toRs232();
    h.combo(1135)->setCurrentText("7");
    h.press(1005);
    EXPECT_EQ(h.cell(0, 0), "7");
    EXPECT_EQ(h.cell(0, 4), "7");
}

TEST(ControlPageLists, RemoveDeviceNeedsRowsAndASelection) {
    PageHarness h;
    h.press(1007);
    EXPECT_EQ(h.feedback.messages, QStringList{"Please Load or Input Data !!!"});
    h.addRow("127.0.6.35", "LM-55", "1");
    h.addRow("127.0.6.36", "LM-55", "2");
    h.feedback.clear();
    h.press(1007);
    EXPECT_EQ(h.feedback.messages, QStringList{"Please Select Delete Item"});
    h.select(0);
    h.press(1007);
    ASSERT_EQ(h.page->rowCount(), 1);
    EXPECT_EQ(h.cell(0, 0), "127.0.6.36");
    // The file is not touched until "Save List".
    EXPECT_FALSE(QFile::exists("MO_IP.log"));
}

TEST(ControlPageLists, FilesFromElsewhereLoadWithinBounds) {
    using targets::DeviceRecord;
    struct Case {
        const char* name;
        QByteArray bytes;
        std::vector<QStringList> rows;
    };
    targets::RecordFile file;
    file.header = targets::HeaderRecord::FromValues(3, 2, true);
    file.devices = {DeviceRecord{"127.0.6.37", "LONGMODELNAME", "", "9"}};
    const protocol::Bytes good = targets::EncodeRecords(file, targets::RecordMode::Lan, targets::RecordKind::List);
    QByteArray noTerminators(30, 'A');
    noTerminators += QByteArray(30, 'B');
    const std::vector<Case> cases{
        {"model cut to 9", QByteArray(reinterpret_cast<const char*>(good.data()), static_cast<qsizetype>(good.size())),
         {{"127.0.6.37", "LONGMODEL", "0", "", "9"}}},
        {"empty file", QByteArray(), {}},
        {"header only, shorter", QByteArray(12, '1'), {}},
        {"fields without zero bytes", noTerminators, {{QString(16, 'B'), QString(10, 'B'), "0", "", "BB"}}},
        {"short last record", noTerminators.left(30) + QByteArray("127.0.6.38"), {{"127.0.6.38", "", "0", "", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHarness h;
        h.addRow("127.0.6.39", "KA-55", "1");
        QFile f("MO_IP.log");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.bytes);
        f.close();
        h.press(1006);
        EXPECT_EQ(Rows(h), c.rows);
        EXPECT_TRUE(h.feedback.messages.isEmpty());
    }
}

TEST(ControlPageLists, HeaderValuesAreCarriedThroughLoadAndSave) {
    PageHarness h;
    targets::RecordFile file;
    file.header = targets::HeaderRecord::FromValues(4, 3, true);
    file.devices = {targets::DeviceRecord{"", "KA-55", "", "12"}};
    const protocol::Bytes bytes = targets::EncodeRecords(file, targets::RecordMode::Serial, targets::RecordKind::List);
    {
        QFile f("MO_ID.log");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    h.toRs232();
    ASSERT_EQ(h.page->rowCount(), 1);
    EXPECT_EQ(h.cell(0, 0), "12");
    h.addRow("5", "KB-43");
    h.press(1009);
    const QByteArray saved = ReadFile("MO_ID.log");
    const targets::RecordFile back = targets::DecodeRecords(
        std::span<const protocol::Byte>(reinterpret_cast<const protocol::Byte*>(saved.constData()),
                                        static_cast<std::size_t>(saved.size())));
    EXPECT_EQ(back.header, file.header);
    ASSERT_EQ(back.devices.size(), 2u);
    EXPECT_EQ(back.devices[0].id, "12");
    EXPECT_EQ(back.devices[1].id, "5");
    EXPECT_EQ(back.devices[1].model, "KB-43");
    EXPECT_EQ(back.devices[1].address, "");
}

TEST(ControlPageLists, AFailedSaveSaysSo) {
    PageHarness h;
    h.addRow("127.0.6.40", "KA-55", "1");
    // Something that is not a file stands where the list file goes.
    ASSERT_TRUE(QDir().mkdir("MO_IP.log"));
    h.press(1009);
    EXPECT_EQ(h.feedback.messages, QStringList{"Save List failed: MO_IP.log could not be written."});
    EXPECT_TRUE(QFileInfo("MO_IP.log").isDir());
    // Loading from it gives an empty list without a word.
    h.feedback.clear();
    h.press(1006);
    EXPECT_EQ(h.page->rowCount(), 0);
    EXPECT_TRUE(h.feedback.messages.isEmpty());
}

}  // namespace
}  // namespace dravik::pages::testing
