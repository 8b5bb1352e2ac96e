// The wall page's view of a running flow: the observer that carries the flow's events from
// the worker thread to the page, in order. This page always echoes and has no receive box.
#pragma once

#include "flows/wall_commands.h"
#include "pages/page_flow.h"
#include "pages/wall/video_wall_page.h"
#include "pages/wall/wall_texts.h"
#include "ui/texts.h"

namespace dravik::pages {

class VideoWallPage::FlowView final : public flows::WallObserver {
public:
    FlowView(VideoWallPage& page, flows::FlowWorker& worker) : bridge_(page, worker) {}

    void commandStarted() override { bridge_.post([](VideoWallPage& p) { p.setTxText(QString()); }); }
    void nothingToAddress() override { bridge_.post([](VideoWallPage& p) { p.feedback().beep(); }); }
    void status(flows::StatusText text) override {
        bridge_.post([text](VideoWallPage& p) { p.setStatus(ui::StatusLineText(text)); });
    }
    void rowStarted(int index) override { bridge_.post([index](VideoWallPage& p) { p.markRowInFlight(index); }); }
    void frameBuilt(const protocol::Frame& frame) override { echo(frame); }
    void frameSealed(int, const protocol::Frame& frame) override { echo(frame); }
    void replyTaken(std::span<const protocol::Byte> reply, flows::ExchangeKind) override {
        bridge_.post([bytes = protocol::Bytes(reply.begin(), reply.end())](VideoWallPage& p) { p.reply_.assign(bytes); });
    }
    void linkMarked(int index, bool up) override {
        bridge_.post([index, up](VideoWallPage& p) {
            p.setCellText(index, kColLink, up ? QStringLiteral("Y") : QStringLiteral("N"));
        });
    }
    // This page asks for a selection in its own words.
    void notice(const flows::Notice& notice) override {
        QString text;
        switch (notice.kind) {
            case flows::Notice::Kind::SelectOne: text = wall_texts::kSelectOneDisplay; break;
            case flows::Notice::Kind::SelectOnlyOne: text = wall_texts::kSelectOnlyOneDisplay; break;
            default: text = ui::NoticeText(notice); break;
        }
        bridge_.call([text](VideoWallPage& p) { p.feedback().message(text); });
    }
    void exchangeEnded() override { bridge_.post([](VideoWallPage& p) { p.focusTargetList(); }); }
    void gainReplyTaken(std::span<const protocol::Byte> reply,
                        const std::optional<std::array<int, 3>>& gains) override {
        bridge_.post([bytes = protocol::Bytes(reply.begin(), reply.end()), gains](VideoWallPage& p) {
            p.takeGainReply(bytes, gains);
        });
    }
    void sendingGains() override {
        bridge_.post([](VideoWallPage& p) { p.setStatus(wall_texts::kSendingPleaseWait); });
    }
    void rowFinished(const flows::RowResult&, int) override {
        bridge_.post([](VideoWallPage& p) {
            p.markRowInFlight(-1);
            p.rowDone(1);
        });
    }
    bool stopRequested() override { return bridge_.stopRequested(); }

private:
    void echo(const protocol::Frame& frame) {
        bridge_.post([frame](VideoWallPage& p) {
            p.frame_ = frame;
            p.setTxText(transport::HexSpaced(frame.bytes()));
            p.writeControls();
        });
    }

    FlowBridge<VideoWallPage> bridge_;
};

}  // namespace dravik::pages
