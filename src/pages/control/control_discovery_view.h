// The Control page as the discovery code sees it: its model combo, "Lock Model", whole
// list rows, the "IP Scan" and monitor ID "Search" buttons, and the progress bar and "Stop"
// they share.
#pragma once

#include "discovery/discovery_view.h"
#include "pages/control/control_page.h"
#include "ui_control_page.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

namespace dravik::pages {

class ControlPage::DiscoveryAdapter final : public discovery::DiscoveryView {
public:
    explicit DiscoveryAdapter(ControlPage& page) : page_(page), ui_(*page.ui_) {}

    bool lanMode() const override { return page_.lanMode(); }
    void setStatus(const QString& text) override { page_.setStatus(text); }
    void message(const QString& text) override { page_.feedback().message(text); }
    QString selectedModel() const override { return ui_.modelCombo->currentText(); }
    bool lockModelTicked() const override { return ui_.lockModelCheck->isChecked(); }
    void removeAllRows() override {
        ui_.targetList->clearSelection();
        ui_.targetList->setRowCount(0);
    }
    void appendRow(const discovery::RowCells& cells) override {
        QTableWidget* list = ui_.targetList;
        const int row = list->rowCount();
        list->insertRow(row);
        // setCellText drops the columns the list does not have.
        for (int col = 0; col < static_cast<int>(cells.size()); ++col) page_.setCellText(row, col, cells[col]);
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
