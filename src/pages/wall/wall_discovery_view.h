// The "Tilvane" page as the discovery code sees it: its model combo, "Lock Model", whole
// list rows, the "IP Scan" and monitor ID "Search" buttons, and the progress bar and "Stop"
// they share.
#pragma once

#include "pages/discovery_view.h"
#include "pages/wall/video_wall_page.h"

#include <QProgressBar>
#include <QPushButton>

namespace dravik::pages {

class WallDiscoveryView final : public DiscoveryView {
public:
    explicit WallDiscoveryView(VideoWallPage& page)
        : page_(page),
          progress_(page.findChild<QProgressBar*>(QStringLiteral("discoveryProgress"))),
          stop_(page.findChild<QPushButton*>(QStringLiteral("discoveryStopButton"))) {}

    bool lanMode() const override { return page_.lanMode(); }
    void setStatus(const QString& text) override { page_.setStatus(text); }
    void message(const QString& text) override { page_.feedback().message(text); }
    QString selectedModel() const override { return page_.modelComboText(); }
    bool lockModelTicked() const override { return page_.lockModelTicked(); }
    void removeAllRows() override { page_.removeAllRows(); }
    void appendRow(const RowCells& c) override { page_.appendRow(c[0], c[1], c[2], c[3], c[4]); }
    void setIpScanEnabled(bool enabled) override { page_.setIpScanEnabled(enabled); }
    void setIdSearchEnabled(bool enabled) override { page_.setIdSearchEnabled(enabled); }
    void showProgress(int done, int total) override {
        if (!progress_) return;
        progress_->setRange(0, total);
        progress_->setValue(done);
        progress_->setTextVisible(true);
    }
    void setStopEnabled(bool enabled) override {
        if (stop_) stop_->setEnabled(enabled);
    }
    QPushButton* stopButton() const { return stop_; }

private:
    VideoWallPage& page_;
    QProgressBar* progress_;
    QPushButton* stop_;
};

}  // namespace dravik::pages
