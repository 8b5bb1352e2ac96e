// The page's target rows are the list; the table widget must show exactly them after every
// kind of change, and the cell texts must map onto the target's fields as the list files and
// the flows read them.
#include "pages/target_rows.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QTableWidget>

namespace dravik::pages {
namespace {

using targets::Interface;

// What the widget shows, row by row.
std::vector<RowTexts> Shown(const QTableWidget& table) {
    std::vector<RowTexts> out;
    for (int r = 0; r < table.rowCount(); ++r) {
        RowTexts row;
        for (int c = 0; c < 5; ++c) row[c] = table.item(r, c) ? table.item(r, c)->text() : QStringLiteral("<none>");
        out.push_back(row);
    }
    return out;
}

std::vector<RowTexts> Held(const TargetRows& rows) {
    std::vector<RowTexts> out;
    for (const TargetRow& row : rows.rows()) out.push_back(CellsOf(row));
    return out;
}

bool Bold(const QTableWidget& table, int row) {
    for (int c = 0; c < table.columnCount(); ++c) {
        if (!table.item(row, c) || !table.item(row, c)->font().bold()) return false;
    }
    return true;
}

TEST(TargetRowCells, ColumnsMapOntoTheTargetPerInterface) {
    struct Case {
        Interface interface;
        RowTexts cells;
        targets::Target expected;
        std::string link;
        RowTexts shownBack;  // an RS-232 row has one ID: column 0's
    };
    const Case cases[] = {
        {Interface::Lan, {"127.0.0.5", "LM-55", "0", "", "3"}, {Interface::Lan, "127.0.0.5", "LM-55", "3", "", ""}, "0",
         {"127.0.0.5", "LM-55", "0", "", "3"}},
        {Interface::Lan, {"10.1.1.2", "W46", "Y", "0", "7"}, {Interface::Lan, "10.1.1.2", "W46", "7", "0", ""}, "Y",
         {"10.1.1.2", "W46", "Y", "0", "7"}},
        {Interface::Serial, {"12", "LM-55", "Y", "0", "12"}, {Interface::Serial, "", "LM-55", "12", "0", ""}, "Y",
         {"12", "LM-55", "Y", "0", "12"}},
        {Interface::Serial, {"4", "W46", "", "4", "9"}, {Interface::Serial, "", "W46", "4", "4", ""}, "",
         {"4", "W46", "", "4", "4"}},
        // Texts the combo boxes let through are kept as typed, not only Latin-1.
        {Interface::Lan, {"host", "Écran-ß", "0", "", "x"}, {Interface::Lan, "host", "Écran-ß", "x", "", ""}, "0",
         {"host", "Écran-ß", "0", "", "x"}},
    };
    for (const Case& c : cases) {
        const TargetRow row = RowOf(c.interface, c.cells);
        EXPECT_EQ(row.target, c.expected) << c.cells[0].toStdString();
        EXPECT_EQ(row.link, c.link);
        EXPECT_EQ(CellsOf(row), c.shownBack) << c.cells[0].toStdString();
    }
}

TEST(TargetRowCells, RecordsLoadAndSaveTheFieldsTheFileKeeps) {
    struct Case {
        Interface interface;
        targets::DeviceRecord record;
        bool withPos;
        RowTexts shown;
        targets::DeviceRecord saved;
    };
    const Case cases[] = {
        {Interface::Lan, {"127.0.0.9", "LM-55", "3", "2"}, false, {"127.0.0.9", "LM-55", "0", "", "2"},
         {"127.0.0.9", "LM-55", "", "2"}},
        {Interface::Lan, {"127.0.0.9", "LM-55", "3", "2"}, true, {"127.0.0.9", "LM-55", "0", "3", "2"},
         {"127.0.0.9", "LM-55", "3", "2"}},
        // RS-232: the ID is the row's key; the address field is not the row's.
        {Interface::Serial, {"junk", "W46", "5", "11"}, true, {"11", "W46", "0", "5", "11"}, {"", "W46", "5", "11"}},
        // Latin-1 bytes in a record come back as the same bytes.
        {Interface::Lan, {"a", "\xC9" "cran", "", "1"}, false, {"a", QString::fromLatin1("\xC9" "cran"), "0", "", "1"},
         {"a", "\xC9" "cran", "", "1"}},
    };
    for (const Case& c : cases) {
        const TargetRow row = RowOfRecord(c.record, c.interface, c.withPos);
        EXPECT_EQ(CellsOf(row), c.shown) << c.record.model;
        EXPECT_EQ(RecordOf(row), c.saved) << c.record.model;
    }
}

TEST(TargetRowsTable, ShowsTheRowsAfterEveryChange) {
    QTableWidget table(0, 5);
    TargetRows rows(table);
    const auto check = [&](const char* step) {
        EXPECT_EQ(Shown(table), Held(rows)) << step;
        EXPECT_EQ(table.rowCount(), rows.size()) << step;
    };

    rows.append(RowOf(Interface::Lan, {"127.0.0.1", "A", "0", "", "1"}));
    rows.append(RowOf(Interface::Lan, {"127.0.0.2", "B", "0", "", "2"}));
    rows.append(RowOf(Interface::Lan, {"127.0.0.3", "C", "0", "", "3"}));
    check("append");
    rows.setCell(1, kColLink, "Y");
    rows.setCell(2, kColPos, "4");
    rows.setCell(7, kColLink, "N");  // no such row: nothing changes
    rows.setCell(0, 9, "N");         // no such column
    check("setCell");
    EXPECT_EQ(rows.cell(1, kColLink), "Y");
    EXPECT_EQ(rows.cell(5, 0), "");
    EXPECT_EQ(rows.find("127.0.0.3"), 2);
    EXPECT_EQ(rows.find("127.0.0.4"), -1);

    rows.remove(0);
    rows.remove(-1);
    rows.remove(5);
    check("remove");
    EXPECT_EQ(rows.targets().front().address, "127.0.0.2");

    rows.assign({RowOf(Interface::Serial, {"1", "S", "0", "", "1"}), RowOf(Interface::Serial, {"2", "S", "0", "", "2"})});
    check("assign");
    // Column 0 and the ID column of an RS-232 row are one ID.
    rows.setCell(1, kColId, "8");
    check("serial id");
    EXPECT_EQ(rows.cell(1, kColAddress), "8");
    EXPECT_EQ(rows.targets()[1].id, "8");

    rows.clear();
    check("clear");
}

TEST(TargetRowsTable, TheRowInFlightIsBoldAndFollowsRemovals) {
    QTableWidget table(0, 5);
    TargetRows rows(table, /*fixedItems=*/true);
    for (const char* a : {"127.0.0.1", "127.0.0.2", "127.0.0.3"}) rows.append(RowOf(Interface::Lan, {a, "M", "0", "", "1"}));
    EXPECT_FALSE(table.item(0, 0)->flags() & Qt::ItemIsEditable);

    rows.markInFlight(2);
    EXPECT_TRUE(Bold(table, 2));
    rows.remove(0);  // the marked row moves up with its target
    EXPECT_EQ(rows.inFlight(), 1);
    EXPECT_TRUE(Bold(table, 1));
    rows.setCell(1, kColLink, "Y");
    EXPECT_TRUE(Bold(table, 1));
    rows.markInFlight(0);
    EXPECT_TRUE(Bold(table, 0));
    EXPECT_FALSE(Bold(table, 1));
    rows.markInFlight(9);  // past the end: nothing is marked
    EXPECT_EQ(rows.inFlight(), -1);
    EXPECT_FALSE(Bold(table, 0));
    rows.markInFlight(1);
    rows.remove(1);
    EXPECT_EQ(rows.inFlight(), -1);
}

}  // namespace
}  // namespace dravik::pages
