// A page's target list. The rows live here, as targets with the LINK mark their last
// exchange left; the table widget only shows them. Every change goes through this class and
// is shown as it is made, so the table and the rows cannot drift apart, and flows, list files
// and discovery read the targets, never cell texts.
#pragma once

#include "pages/page_run.h"
#include "targets/records.h"
#include "targets/target.h"

#include <QString>

#include <array>
#include <string>
#include <vector>

class QTableWidget;

namespace dravik::pages {

struct TargetRow {
    targets::Target target;
    // The LINK cell: "0" before any exchange, then "Y" or "N"; some wall rows start empty.
    std::string link;

    bool operator==(const TargetRow&) const = default;
};

// The five cell texts of a row: column 0 (the address over LAN, the monitor ID over RS-232),
// model, LINK, Pos, ID.
using RowTexts = std::array<QString, 5>;
RowTexts CellsOf(const TargetRow& row);
// One of them; empty for a column the list does not have.
QString CellOf(const TargetRow& row, int col);
// A row from its five cell texts, as discovery hands rows over. An RS-232 row has one ID:
// the one in column 0.
TargetRow RowOf(targets::Interface interface, const RowTexts& cells);
// Sets the field behind column `col` (0..4); other columns change nothing.
void SetCell(TargetRow& row, int col, const QString& text);

// A list or tiling file record and the row it loads as ("0" in LINK; the position only from
// a tiling file), and back. Record fields hold single-byte characters, the rows the texts as
// shown.
TargetRow RowOfRecord(const targets::DeviceRecord& record, targets::Interface interface, bool withPos);
targets::DeviceRecord RecordOf(const TargetRow& row);

class TargetRows {
public:
    // `fixedItems`: the shown cells are selectable but never editable, whatever the table's
    // edit triggers.
    explicit TargetRows(QTableWidget& table, bool fixedItems = false);

    int size() const { return static_cast<int>(rows_.size()); }
    const std::vector<TargetRow>& rows() const { return rows_; }
    // The targets in list order, as a flow walks them.
    std::vector<targets::Target> targets() const;
    // A cell's text; empty outside the list.
    QString cell(int row, int col) const;
    // The first row whose column 0 reads `key`, or -1.
    int find(const QString& key) const;

    void append(TargetRow row);
    void assign(std::vector<TargetRow> rows);
    void remove(int row);
    void clear();
    // Out-of-range rows and columns are ignored.
    void setCell(int row, int col, const QString& text);

    // Bold cells for the row whose exchange runs; -1 for none.
    void markInFlight(int row);
    int inFlight() const { return inFlight_; }

    // After an exchange the list takes the keyboard focus, unless the operator is typing into
    // a field of the page meanwhile: the keys would land in the list instead.
    void takeFocus();

private:
    void show(int row);
    void showCell(int row, int col);
    void paintInFlight(int row, bool on);

    QTableWidget& table_;
    bool fixedItems_;
    std::vector<TargetRow> rows_;
    int inFlight_ = -1;
};

}  // namespace dravik::pages
