#include "pages/target_rows.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QTableWidget>

#include <utility>

namespace dravik::pages {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }
std::string Std(const QString& s) { return s.toStdString(); }

}  // namespace

QString CellOf(const TargetRow& row, int col) {
    const targets::Target& t = row.target;
    switch (col) {
    case kColAddress: return Text(t.serial() ? t.id : t.address);
    case kColModel: return Text(t.model);
    case kColLink: return Text(row.link);
    case kColPos: return Text(t.pos);
    case kColId: return Text(t.id);
    default: return {};
    }
}

RowTexts CellsOf(const TargetRow& row) {
    return {CellOf(row, kColAddress), CellOf(row, kColModel), CellOf(row, kColLink), CellOf(row, kColPos),
            CellOf(row, kColId)};
}

void SetCell(TargetRow& row, int col, const QString& text) {
    targets::Target& t = row.target;
    switch (col) {
    case kColAddress: (t.serial() ? t.id : t.address) = Std(text); break;
    case kColModel: t.model = Std(text); break;
    case kColLink: row.link = Std(text); break;
    case kColPos: t.pos = Std(text); break;
    case kColId: t.id = Std(text); break;
    default: break;
    }
}

TargetRow RowOf(targets::Interface interface, const RowTexts& cells) {
    TargetRow row;
    row.target.interface = interface;
    // Column 0 last: on an RS-232 row it and the ID column are the same ID.
    for (int col : {kColModel, kColLink, kColPos, kColId, kColAddress}) SetCell(row, col, cells[col]);
    return row;
}

TargetRow RowOfRecord(const targets::DeviceRecord& record, targets::Interface interface, bool withPos) {
    const auto latin1 = [](const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); };
    const auto mode = interface == targets::Interface::Lan ? targets::RecordMode::Lan : targets::RecordMode::Serial;
    return RowOf(interface, {latin1(targets::RowKey(record, mode)), latin1(record.model), QStringLiteral("0"),
                             withPos ? latin1(record.pos) : QString(), latin1(record.id)});
}

targets::DeviceRecord RecordOf(const TargetRow& row) {
    const auto latin1 = [](const std::string& s) { return QString::fromStdString(s).toLatin1().toStdString(); };
    const targets::Target& t = row.target;
    return {latin1(t.address), latin1(t.model), latin1(t.pos), latin1(t.id)};
}

TargetRows::TargetRows(QTableWidget& table, bool fixedItems) : table_(table), fixedItems_(fixedItems) {}

std::vector<targets::Target> TargetRows::targets() const {
    std::vector<targets::Target> out;
    out.reserve(rows_.size());
    for (const TargetRow& row : rows_) out.push_back(row.target);
    return out;
}

QString TargetRows::cell(int row, int col) const {
    if (row < 0 || row >= size()) return {};
    return CellOf(rows_[static_cast<std::size_t>(row)], col);
}

int TargetRows::find(const QString& key) const {
    for (int row = 0; row < size(); ++row) {
        if (cell(row, kColAddress) == key) return row;
    }
    return -1;
}

void TargetRows::append(TargetRow row) {
    rows_.push_back(std::move(row));
    const int index = size() - 1;
    table_.insertRow(index);
    show(index);
}

void TargetRows::assign(std::vector<TargetRow> rows) {
    clear();
    rows_ = std::move(rows);
    table_.setRowCount(size());
    for (int row = 0; row < size(); ++row) show(row);
}

void TargetRows::remove(int row) {
    if (row < 0 || row >= size()) return;
    if (row == inFlight_) inFlight_ = -1;
    if (row < inFlight_) --inFlight_;
    rows_.erase(rows_.begin() + row);
    table_.removeRow(row);
}

void TargetRows::clear() {
    inFlight_ = -1;
    rows_.clear();
    table_.clearSelection();
    table_.setRowCount(0);
}

void TargetRows::setCell(int row, int col, const QString& text) {
    if (row < 0 || row >= size()) return;
    SetCell(rows_[static_cast<std::size_t>(row)], col, text);
    // Column 0 and the ID column show the same field on an RS-232 row.
    if (col == kColAddress || col == kColId) {
        showCell(row, kColAddress);
        showCell(row, kColId);
    } else {
        showCell(row, col);
    }
}

void TargetRows::show(int row) {
    for (int col = 0; col < table_.columnCount(); ++col) showCell(row, col);
}

void TargetRows::showCell(int row, int col) {
    if (col < 0 || col >= table_.columnCount()) return;
    const QString text = cell(row, col);
    if (QTableWidgetItem* item = table_.item(row, col)) {
        if (item->text() != text) item->setText(text);
        return;
    }
    auto* item = new QTableWidgetItem(text);
    if (fixedItems_) item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (row == inFlight_) {
        QFont font = item->font();
        font.setBold(true);
        item->setFont(font);
    }
    table_.setItem(row, col, item);
}

void TargetRows::paintInFlight(int row, bool on) {
    if (row < 0 || row >= table_.rowCount()) return;
    for (int col = 0; col < table_.columnCount(); ++col) {
        if (QTableWidgetItem* item = table_.item(row, col)) {
            QFont font = item->font();
            font.setBold(on);
            item->setFont(font);
        }
    }
}

void TargetRows::markInFlight(int row) {
    paintInFlight(inFlight_, false);
    inFlight_ = row >= 0 && row < size() ? row : -1;
    paintInFlight(inFlight_, true);
}

namespace {

// A field that takes typed text: an editable line, a spin box, an editable combo box (the
// last two type into a line of their own).
bool TakesTypedText(const QWidget* w) {
    for (const QWidget* p = w; p; p = p->parentWidget()) {
        if (qobject_cast<const QAbstractSpinBox*>(p)) return true;
        if (const auto* combo = qobject_cast<const QComboBox*>(p)) return combo->isEditable();
    }
    const auto* line = qobject_cast<const QLineEdit*>(w);
    return line && !line->isReadOnly();
}

}  // namespace

void TargetRows::takeFocus() {
    const QWidget* focus = table_.window()->focusWidget();
    if (focus && focus != &table_ && TakesTypedText(focus)) return;
    table_.setFocus(Qt::OtherFocusReason);
}

}  // namespace dravik::pages
