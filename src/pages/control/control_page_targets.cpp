// ControlPage: the target list ("Add Device", "Remove Device") and its list files
// ("Save List", "Load List"): "MO_IP.log" in LAN mode, "MO_ID.log" in RS-232 mode, in the
// current directory.
#include "pages/control/control_page.h"

#include "pages/control/control_texts.h"
#include "targets/records.h"
#include "ui_control_page.h"

#include <QFile>
#include <QSaveFile>

namespace dravik::pages {

namespace {

// A list file is read up to this many records (header included); the rest of a larger
// file is ignored, so that a stray huge file cannot stall the window.
constexpr qint64 kMaxListRecords = 10000;

targets::Interface Interface(bool lan) { return lan ? targets::Interface::Lan : targets::Interface::Serial; }

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
    if (rows_->find(key) >= 0) {
        feedback().message(lan_ ? control_texts::IpExists(key) : control_texts::IdExists(key));
        return;
    }
    rows_->append(RowOf(Interface(lan_), {key, ui_->modelCombo->currentText(), QStringLiteral("0"), QString(),
                                          ui_->monitorIdCombo->currentText()}));
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
    rows_->remove(row);
}

void ControlPage::SaveList() {
    const auto mode = lan_ ? targets::RecordMode::Lan : targets::RecordMode::Serial;
    const std::string_view name = targets::RecordFileName(mode, targets::RecordKind::List);
    const QString fileName = FromRecordText(std::string(name));

    targets::RecordFile file;
    file.headerRead = true;
    file.header = targets::HeaderRecord::FromValues(headerA_, headerB_, headerC_);
    for (const TargetRow& row : rows_->rows()) file.devices.push_back(RecordOf(row));
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
    QFile in(FromRecordText(std::string(name)));
    rows_->clear();
    if (!in.open(QIODevice::ReadOnly)) return;
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
    std::vector<TargetRow> rows;
    rows.reserve(file.devices.size());
    for (const targets::DeviceRecord& device : file.devices) rows.push_back(RowOfRecord(device, Interface(lan_), false));
    rows_->assign(std::move(rows));
}

}  // namespace dravik::pages
