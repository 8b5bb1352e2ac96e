#include "pages/page_scan.h"

#include "discovery/scan_rules.h"
#include "ui/texts.h"

namespace dravik::pages {

using discovery::FoundDisplay;
using discovery::kLastHost;
using discovery::LanScanner;
using discovery::ScanOptions;

namespace {

QString Text(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PageScan::PageScan(DiscoveryView& view, ScanPage page, ScanBackendsFactory factory,
                   ScanOptions options)
    : view_(view), page_(page), factory_(std::move(factory)), options_(options) {}

PageScan::~PageScan() = default;

bool PageScan::Start(const QString& address) {
    view_.removeAllRows();
    if (!(backends_.presence && backends_.identity) && factory_) backends_ = factory_();
    // A stopped scan's scanner is gone; the next press makes a new one with the same backends.
    if (!scanner_ && backends_.presence && backends_.identity) {
        scanner_ = std::make_unique<LanScanner>(*this, backends_, options_);
    }
    if (!scanner_ || !scanner_->Start(address.toStdString())) {
        view_.setIpScanEnabled(true);
        view_.setStopEnabled(false);
        view_.setStatus(ui::texts::kScanError);
        return false;
    }
    view_.setIpScanEnabled(false);
    view_.showProgress(0, kLastHost);
    view_.setStopEnabled(true);
    view_.setStatus(ui::texts::kConnecting);
    return true;
}

bool PageScan::Stop() {
    if (!scanner_ || !scanner_->Busy()) return false;
    // Destroying the scanner stops its threads and joins them (each wait of a probe looks at
    // the stop at least every 50 ms), also when a probe is waiting for this very thread.
    scanner_.reset();
    view_.setStopEnabled(false);
    if (view_.lanMode()) view_.setIpScanEnabled(true);
    view_.setStatus(QString());
    return true;
}

void PageScan::Cancel() {
    if (!scanner_ || !scanner_->Busy()) return;
    scanner_->Cancel();
    view_.setStopEnabled(false);
    view_.setStatus(QString());
}

bool PageScan::Busy() const { return scanner_ && scanner_->Busy(); }

bool PageScan::StillScanning() {
    if (view_.lanMode()) return true;
    if (scanner_) scanner_->Cancel();
    return false;
}

void PageScan::OnScanResult(FoundDisplay found) {
    if (!StillScanning()) return;
    const QString selected = view_.selectedModel();
    const std::string selectedText = selected.toLatin1().toStdString();
    const bool keep = page_ == ScanPage::Control ? discovery::ControlPageKeeps(found, view_.lockModelTicked(), selectedText)
                                                 : discovery::WallPageKeeps(found, view_.lockModelTicked(), selectedText);
    if (!keep) return;
    const auto cells = discovery::ScanRowCells(found);
    RowCells row;
    for (std::size_t i = 0; i < cells.size(); ++i) row[i] = Text(cells[i]);
    view_.appendRow(row);
}

void PageScan::OnScanError() {
    if (!StillScanning()) return;
    view_.setIpScanEnabled(true);
    view_.setStatus(ui::texts::kScanError);
}

void PageScan::OnScanProgress(int probed, int total) {
    if (!StillScanning()) return;
    view_.showProgress(probed, total);
    // Every host has been dealt with: only host 254's finish wait is left.
    if (probed >= total) view_.setStopEnabled(false);
}

void PageScan::OnScanFinished() {
    if (!StillScanning()) return;
    view_.setIpScanEnabled(true);
    view_.setStopEnabled(false);
    view_.setStatus(QString());
    view_.message(ui::texts::kScanFinished);
}

}  // namespace dravik::pages
