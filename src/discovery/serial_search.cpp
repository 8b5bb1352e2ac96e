#include "discovery/serial_search.h"

#include "transport/pump_wait.h"
#include "transport/send_flow.h"
#include "transport/serial.h"
#include "transport/texts.h"

#include <QByteArray>
#include <QThread>

#include <span>

namespace dravik::discovery {

namespace {

using transport::ExchangeContext;
using transport::kColAddress;
using transport::kColLink;
using transport::kColModel;

// Check Monitor compares the reply's text with the row's model under this limit.
constexpr int kCheckTextLimit = 4;

// Identity replies are bytes taken one per character.
QString TextOf(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::span<const protocol::Byte> BytesOf(const QByteArray& data) {
    return {reinterpret_cast<const protocol::Byte*>(data.constData()), static_cast<std::size_t>(data.size())};
}

// Reads after `firstMs`, and once more after `secondMs` when nothing came.
int ReadWithRetry(transport::SerialPort& port, QByteArray& received, int firstMs, int secondMs) {
    transport::PumpWait(firstMs);
    if (transport::ReadSerial(port, received) > 0) return static_cast<int>(received.size());
    transport::PumpWait(secondMs);
    return transport::ReadSerial(port, received);
}

void Refuse(ExchangeContext& ctx, const QString& model, const SerialDiscoveryOptions& options) {
    if (options.page == protocol::IdentityPage::Control) {
        transport::RefuseCommand(ctx, model);
    } else {
        ctx.feedback().message(QString::fromStdString(protocol::WallRefusalText(model.toStdString())));
    }
}

// The identity query for the model into the frame buffer; false (after the refusal) when
// this page has none for it.
bool BuildQuery(ExchangeContext& ctx, const QString& model, const SerialDiscoveryOptions& options) {
    const auto form = protocol::IdentityFormFor(options.page, model.toStdString());
    if (!form) {
        Refuse(ctx, model, options);
        return false;
    }
    ctx.frameBuffer() = protocol::BuildIdentityQuery(*form, 0);
    return true;
}

// The operator can close the port or switch to LAN during any pumping wait.
bool LineStillUsable(ExchangeContext& ctx) { return !ctx.lanMode() && ctx.serialPort().isOpen(); }

}  // namespace

SerialDiscoveryOptions ControlPageSerialOptions() { return {}; }

SerialDiscoveryOptions WallPageSerialOptions() {
    SerialDiscoveryOptions o;
    o.page = protocol::IdentityPage::Wall;
    o.searchTextLimit = 4;
    o.searchSecondWaitMs = 300;
    o.stripMakerName = false;
    o.requireSelectedModel = true;
    o.checkFirstWaitMs = 700;
    o.checkPause = CheckPause::Pumping;
    o.checkPauseMs = 150;
    o.checkShowsReply = false;
    return o;
}

std::optional<QString> SearchRowText(std::span<const protocol::Byte> reply, const QString& selectedModel,
                                     const SerialDiscoveryOptions& options) {
    if (!protocol::IsTextReply(reply, options.searchTextLimit)) return std::nullopt;
    const std::string text = protocol::IdentityText(reply, options.searchTextLimit);
    if (options.requireSelectedModel) {
        if (TextOf(text) != selectedModel) return std::nullopt;
        return selectedModel;
    }
    // An empty text is still an answer from that ID.
    return TextOf(options.stripMakerName ? protocol::StripMakerName(text) : text);
}

bool ReplyNamesModel(std::span<const protocol::Byte> reply, const QString& model) {
    // A reply without text names no model, not even an empty one. Whole, case-sensitive:
    // "LM-55 " is not "LM-55".
    if (model.isEmpty() || !protocol::IsTextReply(reply, kCheckTextLimit)) return false;
    return TextOf(protocol::IdentityText(reply, kCheckTextLimit)) == model;
}

void SearchMonitorIds(ExchangeContext& ctx, DiscoveryView& view, const SerialDiscoveryOptions& options) {
    if (ctx.lanMode()) return;
    transport::FlowGuard guard(ctx);
    if (!guard) return;
    transport::SerialPort& port = ctx.serialPort();
    if (!port.isOpen()) {
        ctx.feedback().message(transport::texts::kPortClosed);
        ctx.focusTargetList();
        return;
    }
    ctx.setStatus(kSearchingText);
    // The model is taken once: the rows are matched against what was selected at the press.
    const QString model = view.selectedModel();
    // A refused model leaves the list as it was and sends nothing.
    if (!BuildQuery(ctx, model, options)) return;

    view.removeAllRows();
    view.setIdSearchEnabled(false);
    view.clearStopRequest();
    view.showProgress(0, kLastSearchId);
    view.setStopEnabled(true);
    ctx.writeControls();

    // A copy: handlers that do not take part in the flow guard may build into the frame
    // buffer during the waits.
    protocol::Frame query = ctx.frameBuffer();
    // The stop is pressed during a pumping wait; the ID being asked is read to its end, so
    // its answer is not left on the line for the next exchange.
    for (int id = kFirstSearchId; id <= kLastSearchId && LineStillUsable(ctx) && !view.stopRequested(); ++id) {
        query.SetMonitorId(static_cast<protocol::Byte>(id));
        transport::DrainSerial(port);
        transport::WriteSerial(port, query);
        QByteArray received;
        const int got = ReadWithRetry(port, received, options.searchFirstWaitMs, options.searchSecondWaitMs);
        view.showProgress(id, kLastSearchId);
        if (got <= 0) continue;
        const std::optional<QString> listed = SearchRowText(BytesOf(received), model, options);
        if (!listed) continue;
        const QString idText = QString::number(id);
        view.appendRow({idText, *listed, QStringLiteral("Y"), QStringLiteral("0"), idText});
    }
    view.setStopEnabled(false);
    view.clearStopRequest();

    ctx.setStatus(QString());
    ctx.feedback().message(kSearchEndText);
    // Only where the button belongs: the port may have been closed meanwhile.
    view.setIdSearchEnabled(LineStillUsable(ctx));
}

void CheckMonitors(ExchangeContext& ctx, const SerialDiscoveryOptions& options) {
    // The button is disabled in LAN mode; there is nothing to verify over RS-232 there.
    if (ctx.lanMode()) return;
    transport::FlowGuard guard(ctx);
    if (!guard) return;
    ctx.setTxText(QString());
    const int count = ctx.rowCount();
    if (count <= 0) {
        ctx.feedback().beep();
        ctx.feedback().message(kNoMonitorDataText);
        return;
    }
    const auto mark = [&ctx](int row, bool answered) {
        // A pumping wait lets the operator remove rows; never mark one that is gone.
        if (row < ctx.rowCount()) ctx.setCellText(row, kColLink, answered ? QStringLiteral("Y") : QStringLiteral("N"));
    };

    const int selected = ctx.selectedRow();
    if (selected >= 0 && selected < count) {
        mark(selected, CheckMonitorRow(ctx, selected, options));
        return;
    }
    for (int row = 0; row < ctx.rowCount() && !ctx.lanMode(); ++row) {
        mark(row, CheckMonitorRow(ctx, row, options));
        if (options.checkPause == CheckPause::Pumping) {
            transport::PumpWait(options.checkPauseMs);
        } else {
            QThread::msleep(static_cast<unsigned long>(options.checkPauseMs));
        }
    }
}

bool CheckMonitorRow(ExchangeContext& ctx, int row, const SerialDiscoveryOptions& options) {
    if (ctx.lanMode() || row < 0 || row >= ctx.rowCount()) return false;
    const QString id = ctx.cellText(row, kColAddress);
    const QString model = ctx.cellText(row, kColModel);
    if (!BuildQuery(ctx, model, options)) return false;
    transport::AddressAndSeal(ctx.frameBuffer(), id);
    transport::EchoTx(ctx);  // the Control page with its Show flag; the wall page always

    transport::SerialPort& port = ctx.serialPort();
    // Nobody can answer through a closed port: no point in waiting for it.
    if (!port.isOpen()) return false;
    transport::DrainSerial(port);
    transport::WriteSerial(port, ctx.frameBuffer());
    ctx.setStatus(transport::texts::kSend);
    QByteArray received;
    if (ReadWithRetry(port, received, options.checkFirstWaitMs, options.checkSecondWaitMs) <= 0) {
        ctx.setStatus(QString());
        return false;
    }
    transport::ReplyBuffer& reply = ctx.replyBuffer();
    reply.assign(received.constData(), received.size());
    if (options.checkShowsReply && ctx.showFlag()) {
        ctx.setRxText(transport::HexSpaced(reply.received()));
        ctx.writeControls();
    }
    ctx.setStatus(QString());
    return ReplyNamesModel(reply.received(), model);
}

}  // namespace dravik::discovery
