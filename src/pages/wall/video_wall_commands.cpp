// The wall commands: power on and off (the selected row or all rows), wall on and off and
// the wall settings ("Update", always all rows). Each builds its frame in the page's frame
// buffer; the per-row senders readdress and seal it for every row.
#include "pages/wall/video_wall_page.h"

#include "flows/wall_flow.h"

#include "protocol/wall.h"
#include "transport/lan.h"
#include "transport/send_flow.h"
#include "transport/serial.h"

namespace dravik::pages {

namespace {

// The wall senders' options live with the wall flows, which dravikctl runs too.
transport::FlowOptions WallFlow(bool clearTx, bool ignoreSelection) { return flows::WallFlowOptions(clearTx, ignoreSelection); }

}  // namespace

void VideoWallPage::SendPower(bool on) {
    // A press during another command's pumping wait must not touch the frame it is sending.
    if (busy()) return;
    frame_ = protocol::BuildWallPower(on);
    transport::SendToTargets(*this, WallFlow(/*clearTx=*/false, /*ignoreSelection=*/false));
}

void VideoWallPage::SendWallMode(bool on) {
    if (busy()) return;
    readPage();
    frame_ = protocol::BuildWallMode(on);
    transport::SendToTargets(*this, WallFlow(/*clearTx=*/true, /*ignoreSelection=*/true));
}

void VideoWallPage::SendWallSettings() {
    if (busy()) return;
    // Each row gets its own frame: its "Pos", its model's matrix byte, and the page's fields
    // as they are at that moment.
    const auto rebuild = [this](int row, const QString& model) {
        readPage();
        frame_ = protocol::BuildWallSettings(fields_.wallEnable, fields_.frameComp,
                                             cellText(row, transport::kColPos).toStdString(),
                                             model.toStdString(), fields_.columns, fields_.rows);
        setTxText(transport::HexSpaced(frame_.bytes()));
        writeControls();
    };
    transport::SendRebuilt(*this, rebuild, WallFlow(/*clearTx=*/true, /*ignoreSelection=*/true));
}

}  // namespace dravik::pages
