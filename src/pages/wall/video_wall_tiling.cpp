// The position grid (one square HoverButton per cell of the wall, numbered row by row from
// the top left), placing rows on it, the location test, and the tiling files that carry the
// list and the matrix from one run to the next.
#include "pages/wall/video_wall_page.h"
#include "flows/wall_commands.h"

#include "controls/hover_button.h"
#include "pages/wall/wall_texts.h"
#include "protocol/wall.h"
#include "targets/records.h"
#include "ui/texts.h"

#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QSaveFile>

#include <algorithm>

namespace dravik::pages {

namespace {

// A tiling file never needs more than a scan's worth of rows; anything past this many
// records is not read (a stray huge file must not fill the memory).
constexpr qint64 kMaxRecords = 4096;

long long TextValue(const QString& text) { return protocol::DecimalValue(text.toStdString()); }

targets::RecordMode Mode(bool lan) { return lan ? targets::RecordMode::Lan : targets::RecordMode::Serial; }

QString FileName(bool lan, targets::RecordKind kind) {
    const std::string_view name = targets::RecordFileName(Mode(lan), kind);
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

// Only plain files are opened: a directory or a pipe of that name is "no file" (reading a
// pipe could wait for ever).
bool IsPlainFile(const QString& name) { return QFileInfo(name).isFile(); }

}  // namespace

// --- The grid ------------------------------------------------------------------------------

controls::HoverButton* VideoWallPage::gridButton(int index) const {
    if (index < 0 || index >= static_cast<int>(grid_.size())) return nullptr;
    return grid_[static_cast<std::size_t>(index)];
}

std::vector<controls::HoverButton*> VideoWallPage::gridButtons() const { return grid_; }

void VideoWallPage::ClearGrid() {
    for (controls::HoverButton* button : grid_) {
        button->removeEventFilter(this);
        button->hide();
        if (inGridPress_) {
            // The press being handled still has to reach its button.
            button->setParent(nullptr);
            button->deleteLater();
        } else {
            delete button;
        }
    }
    grid_.clear();
}

void VideoWallPage::RebuildGrid() {
    readPage();
    gridColumns_ = fields_.columns;
    gridRows_ = fields_.rows;
    const int columns = std::clamp(gridColumns_, 0, kMatrixMax);
    const int rows = std::clamp(gridRows_, 0, kMatrixMax);
    if (columns == 0 || rows == 0) return;

    const int side = kGridSide / std::max(columns, rows);
    ClearGrid();
    grid_.reserve(static_cast<std::size_t>(columns * rows));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const int k = r * columns + c;
            auto* button = new controls::HoverButton(QString::number(k + 1), this);
            button->setObjectName(QStringLiteral("gridButton%1").arg(k + 1));
            button->setProperty("controlId", kFirstGridId + k);
            // The caption names the button (it changes as rows are placed); the description
            // says which cell it is.
            button->setAccessibleDescription(QStringLiteral("Position %1").arg(k + 1));
            button->setGeometry(kGridLeft + c * (side + 1), kGridTop + r * (side + 1), side, side);
            button->installEventFilter(this);
            button->show();
            grid_.push_back(button);
        }
    }
}

void VideoWallPage::LabelGrid() {
    if (rowCount() > gridColumns_ * gridRows_) return;
    for (int row = 0; row < rowCount(); ++row) {
        const long long p = TextValue(cellText(row, kColPos));
        if (p < 1 || p > 25) continue;
        if (controls::HoverButton* button = gridButton(static_cast<int>(p - 1))) {
            button->setText(cellText(row, kColAddress));
        }
    }
}

void VideoWallPage::SetAllPositionsZero() {
    for (int row = 0; row < rowCount(); ++row) setCellText(row, kColPos, QStringLiteral("0"));
}

bool VideoWallPage::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const auto it = std::find(grid_.begin(), grid_.end(), watched);
        if (it != grid_.end()) {
            inGridPress_ = true;
            GridPressed(static_cast<int>(it - grid_.begin()));
            inGridPress_ = false;
        }
    }
    // The press goes on to the button as usual.
    return QWidget::eventFilter(watched, event);
}

void VideoWallPage::GridPressed(int index) {
    readPage();
    // Only the cells of the matrix as the fields give it now count, and only buttons that
    // exist (the fields may have changed since the last "Set").
    const int considered = std::min(fields_.columns * fields_.rows, static_cast<int>(grid_.size()));
    if (index >= considered) return;

    const int selected = selectedRow();
    const QString caption = grid_[static_cast<std::size_t>(index)]->text();
    if (lan_) {
        if (fields_.locationTest) {
            LocationTestLan(caption);
        } else if (selected >= 0) {
            PlaceRowLan(selected, index, caption);
        }
    } else {
        if (fields_.locationTest) {
            LocationTestSerial(caption);
        } else if (selected >= 0 && !fields_.inSequence) {
            PlaceRowSerial(selected, index, caption, considered);
        }
    }
    focusTargetList();
}

// LAN: the button shows the row's IP address; the row that was shown there loses its place.
void VideoWallPage::PlaceRowLan(int row, int index, const QString& caption) {
    const QString address = cellText(row, kColAddress);
    const long long old = TextValue(cellText(row, kColPos));
    if (old == index + 1) return;

    if (old > 0 && old <= static_cast<long long>(grid_.size())) {
        gridButton(static_cast<int>(old - 1))->setText(QString::number(old));
    }
    grid_[static_cast<std::size_t>(index)]->setText(address);
    setCellText(row, kColPos, QString::number(index + 1));
    // Only the other rows: a second row with the same address must not take the position
    // away from the row just placed.
    for (int other = 0; other < rowCount(); ++other) {
        if (other != row && cellText(other, kColAddress) == caption) {
            setCellText(other, kColPos, QStringLiteral("0"));
        }
    }
}

// RS-232: the button shows the row's monitor ID; emptied cells show "0".
void VideoWallPage::PlaceRowSerial(int row, int index, const QString& caption, int considered) {
    const QString id = cellText(row, kColAddress);
    const QString oldPos = cellText(row, kColPos);
    setCellText(row, kColPos, QString::number(index + 1));
    if (id == caption) return;

    if (!oldPos.isEmpty()) {
        const long long q = TextValue(oldPos);
        if (q >= 1 && q <= considered) gridButton(static_cast<int>(q - 1))->setText(QStringLiteral("0"));
    }
    QString shownPos;
    for (int other = 0; other < rowCount(); ++other) {
        if (cellText(other, kColAddress) == caption) {
            shownPos = cellText(other, kColPos);
            setCellText(other, kColPos, QStringLiteral("0"));
        }
    }
    if (!shownPos.isEmpty()) {
        for (int k = 0; k < considered; ++k) {
            if (grid_[static_cast<std::size_t>(k)]->text() == shownPos) {
                grid_[static_cast<std::size_t>(k)]->setText(QStringLiteral("0"));
            }
        }
    }
    grid_[static_cast<std::size_t>(index)]->setText(id);
}

// --- Location test: the display shown on the button brings up its menu ------------------

void VideoWallPage::LocationTestLan(const QString& caption) {
    if (queue_->defer(QStringLiteral("Location test ") + caption, [this, caption] { LocationTestLan(caption); })) {
        return;
    }
    if (rowCount() == 0) {
        feedback_->beep();
        return;
    }
    runWall(flows::WallCommand::LocationTest, FindRowByKey(caption));
}

void VideoWallPage::LocationTestSerial(const QString& caption) { LocationTestLan(caption); }

// --- Tiling files ----------------------------------------------------------------------

bool VideoWallPage::LoadFile(const QString& name, bool withPositions) {
    if (!IsPlainFile(name)) return false;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray data = file.read(kMaxRecords * static_cast<qint64>(targets::kRecordSize));
    file.close();

    const targets::RecordFile records = targets::DecodeRecords(
        std::span<const protocol::Byte>(reinterpret_cast<const protocol::Byte*>(data.constData()),
                                        static_cast<std::size_t>(data.size())));
    removeAllRows();
    if (records.headerRead) {
        // A file from elsewhere may name any size; the page keeps to the sizes it can lay out.
        fields_.columns = std::clamp(records.header.columns(), kMatrixMin, kMatrixMax);
        fields_.rows = std::clamp(records.header.rows(), kMatrixMin, kMatrixMax);
        fields_.frameComp = records.header.flag;
        writeControls();
    }
    const targets::Interface interface = lan_ ? targets::Interface::Lan : targets::Interface::Serial;
    std::vector<TargetRow> rows;
    rows.reserve(records.devices.size());
    for (const targets::DeviceRecord& device : records.devices) rows.push_back(RowOfRecord(device, interface, withPositions));
    rows_->assign(std::move(rows));
    return true;
}

void VideoWallPage::LoadList() {
    if (busy()) return;
    // The tiling file of the interface; without one, the Control page's LAN list.
    if (!LoadFile(FileName(lan_, targets::RecordKind::Tiling), /*withPositions=*/true)) {
        LoadFile(FileName(true, targets::RecordKind::List), /*withPositions=*/false);
    }
    RebuildGrid();
    LabelGrid();
}

void VideoWallPage::SaveList() {
    const QString name = FileName(lan_, targets::RecordKind::Tiling);
    // Only a plain file is replaced; a directory or a pipe of that name is an error.
    const QFileInfo info(name);
    if (info.exists() && !info.isFile()) {
        feedback_->message(wall_texts::kFileOpeningError);
        return;
    }
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        feedback_->message(wall_texts::kFileOpeningError);
        return;
    }
    readPage();
    targets::RecordFile records;
    // The matrix as the page holds it: a text the page would not accept never goes to disk.
    records.header = targets::HeaderRecord::FromValues(fields_.columns, fields_.rows, fields_.frameComp);
    for (const TargetRow& row : rows_->rows()) records.devices.push_back(RecordOf(row));
    const protocol::Bytes bytes = targets::EncodeRecords(records, Mode(lan_), targets::RecordKind::Tiling);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    if (!file.commit()) feedback_->message(wall_texts::kFileOpeningError);
}

}  // namespace dravik::pages
