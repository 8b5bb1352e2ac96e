#include "transport/send_flow.h"

#include "transport/lan.h"
#include "transport/pump_wait.h"
#include "transport/serial.h"
#include "transport/texts.h"

#include <QThread>

namespace dravik::transport {

namespace {

constexpr int kRowPauseMs = 300;

void Pause(RowPause pause) {
    switch (pause) {
        case RowPause::Pumping: PumpWait(kRowPauseMs); break;
        case RowPause::Sleep: QThread::msleep(kRowPauseMs); break;
        case RowPause::None: break;
    }
}

// `prepare` puts the row's frame into the frame buffer and says whether there is one.
bool RunFlow(ExchangeContext& ctx, const std::function<bool(int row)>& prepare,
             const FlowOptions& options) {
    FlowGuard guard(ctx);
    if (!guard) return false;

    const int count = ctx.rowCount();
    if (options.clearTx) ctx.setTxText(QString());
    if (count <= 0) {
        ctx.feedback().beep();
        return true;
    }
    const LanRowSender lan = options.lanSend ? options.lanSend
                                             : LanRowSender([](ExchangeContext& c, int r) { SendLan(c, r); });
    const SerialRowSender serial = options.serialSend ? options.serialSend : SerialRowSender(&SendSerial);

    const int selected = options.ignoreSelection ? -1 : ctx.selectedRow();
    if (selected < 0 || selected >= count) {
        for (int row = 0; row < count; ++row) {
            // A pumping wait lets the operator remove rows; never address one that is gone.
            if (row >= ctx.rowCount()) break;
            if (!prepare(row)) continue;
            if (ctx.lanMode()) {
                lan(ctx, row);
                continue;
            }
            if (!serial(ctx, row)) break;
            Pause(options.serialPause);
        }
        return true;
    }

    if (!prepare(selected)) {
        if (options.refuseSelectedUnsupported) RefuseCommand(ctx, ctx.cellText(selected, kColModel));
        return true;
    }
    if (options.selectedChosenInterfaceOnly) {
        if (ctx.lanMode()) {
            lan(ctx, selected);
        } else {
            serial(ctx, selected);
        }
    } else {
        // Each sender does nothing outside its own interface.
        lan(ctx, selected);
        serial(ctx, selected);
    }
    return true;
}

}  // namespace

bool SendToTargets(ExchangeContext& ctx, const FlowOptions& options) {
    return RunFlow(ctx, [](int) { return true; }, options);
}

bool SendByModel(ExchangeContext& ctx, const RowSelector& select, const FlowOptions& options) {
    return RunFlow(
        ctx, [&](int row) { return select && select(ctx.cellText(row, kColModel)); }, options);
}

bool SendRebuilt(ExchangeContext& ctx, const RowRebuild& rebuild, const FlowOptions& options) {
    return RunFlow(
        ctx,
        [&](int row) {
            if (rebuild) rebuild(row, ctx.cellText(row, kColModel));
            return true;
        },
        options);
}

void RefuseCommand(ExchangeContext& ctx, const QString& model) {
    const QString text = texts::Refusal(model);
    ctx.setMessageLine(text);
    ctx.feedback().message(text);
}

}  // namespace dravik::transport
