// "RGB Color Setting": read the red, green and blue gains of the selected display ("Get data")
// and write the page's three gains to it ("Update").
#include "pages/wall/video_wall_page.h"

#include "flows/wall_flow.h"
#include "pages/wall/wall_texts.h"
#include "protocol/wall.h"
#include "transport/lan.h"
#include "transport/pump_wait.h"
#include "transport/serial.h"
#include "transport/texts.h"

namespace dravik::pages {

namespace {

using transport::kColAddress;
using transport::kColId;
using transport::kColLink;
using transport::kColModel;

}  // namespace

bool VideoWallPage::decodeReply(const QString&) {
    int red = fields_.red, green = fields_.green, blue = fields_.blue;
    if (!protocol::DecodeGainReply(reply_.received(), red, green, blue)) return false;
    fields_.red = red;
    fields_.green = green;
    fields_.blue = blue;
    writeControls();
    return true;
}

void VideoWallPage::DecodeGains() {
    decodeReply(QString());
    // Whatever came, it has been looked at once.
    reply_.count = 0;
}

void VideoWallPage::GetGains() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    setTxText(QString());
    if (rowCount() == 0) {
        feedback_->beep();
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        feedback_->message(lan_ ? wall_texts::kSelectOnlyOneDisplay : wall_texts::kSelectOneDisplay);
        return;
    }
    if (lan_) {
        GetGainsLan(row);
    } else {
        GetGainsSerial(row);
    }
}

void VideoWallPage::GetGainsLan(int row) {
    setStatus(transport::texts::kConnecting);
    // Connect bounded at 5 s, receive at 3500 ms, at most 32 bytes kept.
    transport::LanLink link;
    if (!link.connectTo(cellText(row, kColAddress))) {
        setCellText(row, kColLink, QStringLiteral("N"));
        setStatus(QString());
        link.close();
        return;
    }
    frame_ = protocol::BuildGainRequest();
    setStatus(transport::texts::kSending);
    transport::AddressAndSealWall(frame_, cellText(row, kColId));
    transport::EchoTx(*this);
    flows::ExchangeGainRequestLan(link, frame_, reply_);
    setCellText(row, kColLink, QStringLiteral("Y"));
    setStatus(QString());
    DecodeGains();
    link.close();
}

void VideoWallPage::GetGainsSerial(int row) {
    const QString shownId = cellText(row, kColAddress);
    frame_ = protocol::BuildGainRequest();
    transport::AddressAndSealWall(frame_, cellText(row, kColId));
    transport::EchoTx(*this);
    if (!port_.isOpen()) {
        feedback_->message(transport::texts::kPortClosed);
        return;
    }
    QByteArray received;
    const auto written = [this] { setStatus(transport::texts::kSending); };
    if (flows::ExchangeGainRequestSerial(port_, frame_, received, &transport::PumpWait, written) <= 0) {
        feedback_->message(transport::texts::NoReceiveData(shownId));
        return;
    }
    reply_.assign(received.constData(), received.size());
    setStatus(QString());
    DecodeGains();
}

void VideoWallPage::UpdateGains() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    setTxText(QString());
    if (!feedback_->ask(wall_texts::kUpdateGainQuestion)) return;
    if (rowCount() == 0) {
        feedback_->beep();
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        feedback_->message(wall_texts::kSelectOnlyOneDisplay);
        return;
    }
    readPage();
    frame_ = protocol::BuildGainSet(fields_.red, fields_.green, fields_.blue,
                                    cellText(row, kColModel).toStdString());
    if (lan_) {
        transport::AddressAndSealWall(frame_, cellText(row, kColId));
        transport::EchoTx(*this);
        setStatus(transport::texts::kConnecting);
        transport::LanLink link;
        if (link.connectTo(cellText(row, kColAddress))) {
            setStatus(wall_texts::kSendingPleaseWait);
            link.send(frame_);
            setCellText(row, kColLink, QStringLiteral("Y"));
        } else {
            setCellText(row, kColLink, QStringLiteral("N"));
        }
        link.close();
        setStatus(QString());
    } else {
        setStatus(transport::texts::kConnecting);
        transport::AddressAndSealWall(frame_, cellText(row, kColId));
        transport::EchoTx(*this);
        if (port_.isOpen()) {
            transport::WriteSerial(port_, frame_);
            setStatus(QString());
        } else {
            feedback_->message(transport::texts::kPortClosed);
        }
    }
    focusTargetList();
}

}  // namespace dravik::pages
