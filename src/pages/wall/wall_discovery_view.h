// The "Tilvane" page as the discovery code sees it: its model combo, "Lock Model", whole
// list rows and the "IP Scan" and monitor ID "Search" buttons.
#pragma once

#include "discovery/discovery_view.h"
#include "pages/wall/video_wall_page.h"

namespace dravik::pages {

class WallDiscoveryView final : public discovery::DiscoveryView {
public:
    explicit WallDiscoveryView(VideoWallPage& page) : page_(page) {}

    QString selectedModel() const override { return page_.modelComboText(); }
    bool lockModelTicked() const override { return page_.lockModelTicked(); }
    void removeAllRows() override { page_.removeAllRows(); }
    void appendRow(const discovery::RowCells& c) override { page_.appendRow(c[0], c[1], c[2], c[3], c[4]); }
    void setIpScanEnabled(bool enabled) override { page_.setIpScanEnabled(enabled); }
    void setIdSearchEnabled(bool enabled) override { page_.setIdSearchEnabled(enabled); }

private:
    VideoWallPage& page_;
};

}  // namespace dravik::pages
