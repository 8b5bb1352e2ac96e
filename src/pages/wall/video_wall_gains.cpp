// "RGB Color Setting": read the red, green and blue gains of the selected display ("Get data")
// and write the page's three gains to it ("Update"). Both run on the page's worker thread
// (flows/wall_commands) like the wall commands; the page shows what they report.
#include "pages/wall/video_wall_page.h"

#include "flows/wall_commands.h"
#include "pages/wall/wall_texts.h"
#include "protocol/wall.h"
#include "ui_video_wall_page.h"

namespace dravik::pages {

bool VideoWallPage::decodeReply(const QString&) {
    int red = fields_.red, green = fields_.green, blue = fields_.blue;
    if (!protocol::DecodeGainReply(reply_.received(), red, green, blue)) return false;
    fields_.red = red;
    fields_.green = green;
    fields_.blue = blue;
    writeControls();
    return true;
}

void VideoWallPage::GetGains() {
    if (deferCommand(ui_->getGainButton, [this] { GetGains(); })) return;
    runWall(flows::WallCommand::GetGains, selectedRow());
}

// The question is asked when the update's turn comes, so that it is answered for the gains
// and the row as they are then.
void VideoWallPage::UpdateGains() {
    if (deferCommand(ui_->updateGainButton, [this] { UpdateGains(); })) return;
    if (busy() || flowRunning()) return;
    setTxText(QString());
    if (!feedback_->ask(wall_texts::kUpdateGainQuestion)) return;
    // The gains go with the command, read once it has a row to go to.
    if (rowCount() > 0 && selectedRow() >= 0) readPage();
    runWall(flows::WallCommand::SetGains, selectedRow());
}

void VideoWallPage::takeGainReply(const protocol::Bytes& reply, const std::optional<std::array<int, 3>>& gains) {
    reply_.assign(reply);
    if (gains) {
        fields_.red = (*gains)[0];
        fields_.green = (*gains)[1];
        fields_.blue = (*gains)[2];
        writeControls();
    }
    // Whatever came, it has been looked at once.
    reply_.count = 0;
}

}  // namespace dravik::pages
