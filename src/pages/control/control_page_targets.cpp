// ControlPage: the target list ("Add Device", "Remove Device") and its list files
// ("Save List", "Load List"): "MO_IP.log" in LAN mode, "MO_ID.log" in RS-232 mode, in the
// current directory.
#include "pages/control/control_page.h"

#include "pages/control/control_texts.h"
#include "targets/records.h"
#include "ui_control_page.h"

#include <QFile>
#include <QSaveFile>
#include <QTableWidget>

namespace dravik::pages {

namespace {

// A list file is read up to this many records (header included); the rest of a larger
// file is ignored, so that a stray huge file cannot stall the window.
constexpr qint64 kMaxListRecords = 10000;

// Record fields hold single-byte characters.
std::string ToRecordText(const QString& text) { return text.toLatin1().toStdString(); }
QString FromRecordText(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void ControlPage::AddDevice() {
    if (busy()) return;
    readControls();
    QString key;
    if (lan_) {
        if (ui_->ipAddressEdit->isBlank()) {
            feedback().message(control_texts::kInputIpAddress);
            return;
        }
        key = ui_->ipAddressEdit->text();
    } else {
        // A typed ID counts as well as a chosen one.
        key = ui_->monitorIdCombo->currentText();
    }
    for (int row = 0; row < rowCount(); ++row) {
        if (cellText(row, kColAddress) == key) {
            feedback().message(lan_ ? control_texts::IpExists(key) : control_texts::IdExists(key));
            return;
        }
    }
    QTableWidget* list = ui_->targetList;
    const int row = list->rowCount();
    list->insertRow(row);
    setCellText(row, kColAddress, key);
    setCellText(row, kColModel, ui_->modelCombo->currentText());
    setCellText(row, kColLink, QStringLiteral("0"));
    setCellText(row, kColPos, QString());
    setCellText(row, kColId, ui_->monitorIdCombo->currentText());
}

void ControlPage::RemoveDevice() {
    if (busy()) return;
    if (rowCount() == 0) {
        feedback().message(control_texts::kLoadOrInput);
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        feedback().message(control_texts::kSelectDeleteItem);
        return;
    }
    ui_->targetList->removeRow(row);
}

void ControlPage::SaveList() {
    const auto mode = lan_ ? targets::RecordMode::Lan : targets::RecordMode::Serial;
    const std::string_view name = targets::RecordFileName(mode, targets::RecordKind::List);
    const QString fileName = FromRecordText(std::string(name));

    targets::RecordFile file;
    file.headerRead = true;
    file.header = targets::HeaderRecord::FromValues(headerA_, headerB_, headerC_);
    for (int row = 0; row < rowCount(); ++row) {
        targets::DeviceRecord device;
        device.model = ToRecordText(cellText(row, kColModel));
        if (lan_) {
            device.address = ToRecordText(cellText(row, kColAddress));
            device.id = ToRecordText(cellText(row, kColId));
        } else {
            device.id = ToRecordText(cellText(row, kColAddress));
        }
        file.devices.push_back(std::move(device));
    }
    const protocol::Bytes bytes = targets::EncodeRecords(file, mode, targets::RecordKind::List);

    // Written beside the old file and swapped in at the end: a failed save keeps the old list.
    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !out.commit()) {
        out.cancelWriting();
        feedback().message(control_texts::ListNotSaved(fileName));
    }
}

void ControlPage::LoadList() {
    if (busy()) return;
    const auto mode = lan_ ? targets::RecordMode::Lan : targets::RecordMode::Serial;
    const std::string_view name = targets::RecordFileName(mode, targets::RecordKind::List);
    QTableWidget* list = ui_->targetList;

    QFile in(FromRecordText(std::string(name)));
    if (!in.open(QIODevice::ReadOnly)) {
        list->setRowCount(0);
        return;
    }
    list->setRowCount(0);
    const QByteArray data = in.read(kMaxListRecords * static_cast<qint64>(targets::kRecordSize));
    in.close();

    const targets::RecordFile file = targets::DecodeRecords(
        std::span<const protocol::Byte>(reinterpret_cast<const protocol::Byte*>(data.constData()),
                                        static_cast<std::size_t>(data.size())));
    if (file.headerRead) {
        headerA_ = file.header.columns();
        headerB_ = file.header.rows();
        headerC_ = file.header.flag;
    }
    list->setRowCount(static_cast<int>(file.devices.size()));
    for (int row = 0; row < static_cast<int>(file.devices.size()); ++row) {
        const targets::DeviceRecord& device = file.devices[static_cast<std::size_t>(row)];
        setCellText(row, kColAddress, FromRecordText(targets::RowKey(device, mode)));
        setCellText(row, kColModel, FromRecordText(device.model));
        setCellText(row, kColLink, QStringLiteral("0"));
        setCellText(row, kColPos, QString());
        setCellText(row, kColId, FromRecordText(device.id));
    }
}

}  // namespace dravik::pages
