// The Control page as the discovery code sees it: its model combo, "Lock Model", whole
// list rows, the "IP Scan" and monitor ID "Search" buttons, and the progress bar and "Stop"
// they share.
#pragma once

#include "pages/discovery_view.h"
#include "pages/control/control_page.h"
#include "ui_control_page.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace dravik::pages {

class ControlPage::DiscoveryAdapter final : public DiscoveryView {
public:
    explicit DiscoveryAdapter(ControlPage& page) : page_(page), ui_(*page.ui_) {}

    bool lanMode() const override { return page_.lanMode(); }
    void setStatus(const QString& text) override { page_.setStatus(text); }
    void message(const QString& text) override { page_.feedback().message(text); }
    QString selectedModel() const override { return ui_.modelCombo->currentText(); }
    bool lockModelTicked() const override { return ui_.lockModelCheck->isChecked(); }
    void removeAllRows() override { page_.targetRows().clear(); }
    void appendRow(const RowCells& cells) override {
        page_.targetRows().append(
            RowOf(page_.lanMode() ? targets::Interface::Lan : targets::Interface::Serial, cells));
    }
    void setIpScanEnabled(bool enabled) override { ui_.ipScanButton->setEnabled(enabled); }
    void setIdSearchEnabled(bool enabled) override { ui_.idSearchButton->setEnabled(enabled); }
    void showProgress(int done, int total) override {
        ui_.discoveryProgress->setRange(0, total);
        ui_.discoveryProgress->setValue(done);
        ui_.discoveryProgress->setTextVisible(true);
    }
    void setStopEnabled(bool enabled) override { ui_.discoveryStopButton->setEnabled(enabled); }

private:
    ControlPage& page_;
    Ui::ControlPage& ui_;
};

}  // namespace dravik::pages
