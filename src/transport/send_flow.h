// The rule by which a command button addresses the target rows: all rows in list order
// when none is selected, else the selected row; an empty list only beeps.
#pragma once

#include "transport/exchange_context.h"

#include <QString>

#include <functional>

namespace dravik::transport {

// What follows each RS-232 row that was sent to when all rows are addressed.
enum class RowPause {
    Pumping,  // PumpWait(300): the window stays responsive
    Sleep,    // a plain 300 ms sleep
    None,
};

// Builds the row's frame into the frame buffer from its model; false when the model gets
// none (the selector has shown a refusal itself, or stays silent).
using RowSelector = std::function<bool(const QString& model)>;
// Rebuilds the frame for one row before it is sent (flow C).
using RowRebuild = std::function<void(int row, const QString& model)>;
using LanRowSender = std::function<void(ExchangeContext& ctx, int row)>;
using SerialRowSender = std::function<bool(ExchangeContext& ctx, int row)>;  // false: stop

struct FlowOptions {
    bool clearTx = true;                       // TX box "" before anything else
    RowPause serialPause = RowPause::Pumping;  // after each RS-232 row sent to (all rows)
    // One selected row whose model gets no frame: show the refusal once more.
    bool refuseSelectedUnsupported = false;
    // One selected row: call only the sender of the current interface (instead of the LAN
    // sender and then the RS-232 sender, each doing nothing outside its interface).
    bool selectedChosenInterfaceOnly = false;
    bool ignoreSelection = false;  // always all rows, whatever is selected
    LanRowSender lanSend;          // empty: SendLan
    SerialRowSender serialSend;    // empty: SendSerial
};

// Each flow returns false, doing nothing at all, when another flow of the context is still
// running (a press that came in during its pumping wait); true otherwise.

// Flow A: the frame already in the frame buffer to every addressed row, whatever its model.
bool SendToTargets(ExchangeContext& ctx, const FlowOptions& options = {});

// Flow B: per addressed row the selector builds the frame for the row's model; rows without
// a frame are skipped (no pause).
bool SendByModel(ExchangeContext& ctx, const RowSelector& select, const FlowOptions& options = {});

// Flow C: per addressed row the frame is rebuilt for the row's model, then sent.
bool SendRebuilt(ExchangeContext& ctx, const RowRebuild& rebuild, const FlowOptions& options = {});

// Model + " No This Function or unsupported !\r\n" into the message line and a message box.
void RefuseCommand(ExchangeContext& ctx, const QString& model);

}  // namespace dravik::transport
