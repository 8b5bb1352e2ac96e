// Which flow each command button of the Control page runs, as data, and the one runner both
// the page and dravikctl use, so the two never drift apart.
#pragma once

#include "protocol/frame.h"
#include "protocol/selectors.h"
#include "protocol/values.h"
#include "transport/exchange_context.h"
#include "transport/send_flow.h"

#include <QString>

#include <functional>
#include <span>
#include <string_view>

namespace dravik::transport {

enum class ButtonFlowId {
    PowerKey, MenuKey, InputKey, VolumeUpKey, VolumeDownKey, MuteKey,
    UpKey, DownKey, LeftKey, RightKey, OkKey, ReturnKey, InfoKey,
    On, Off,
    Hdmi1, Hdmi2, DisplayPort, Dvi, Vga, Usb, Cms, Custom,
    Backlight, Brightness, Volume, KeyLock, IrLock,
    Temperature, Hours, BacklightQuery,
    Reset, Player, MediaPlayer, Ops,
};

enum class FlowKind {
    Fixed,        // flow A: one fixed frame to every addressed row
    ByModel,      // flow B: the command's frame chosen per row by its model
    PowerOff,     // flow C: the frame rebuilt per row, sent whatever the lookup said
    ReadThenSet,  // flow A with a query, its reply decoded, then the set frame, per row
    StatusQuery,  // the selected row only: one query, its reply decoded
    ServiceWalk,  // the service buttons' own walk: selected row or all rows, never stops
};

struct ButtonFlow {
    ButtonFlowId id = ButtonFlowId::PowerKey;
    std::string_view name;  // dravikctl's command name
    FlowKind kind = FlowKind::Fixed;
    protocol::Frame (*fixed)() = nullptr;                    // Fixed
    protocol::Command command = protocol::Command::Off;      // ByModel, PowerOff, ServiceWalk; the set frame
    protocol::Command queryCommand = protocol::Command::Off; // ReadThenSet
    int statusKind = 0;                                      // StatusQuery: protocol::StatusKind
    // The controls are read into the page values right before a frame is built from them
    // (for a fixed frame: once, before the flow).
    bool readsControls = true;
    bool clearTx = true;
    bool clearMessageLine = false;  // StatusQuery
    // RS-232, all rows: the pause after each row sent to; a service walk pauses before it.
    RowPause serialPause = RowPause::Pumping;
    bool refuseSelectedUnsupported = false;
    bool selectedChosenInterfaceOnly = false;
    // A closed COM port ends an RS-232 walk.
    bool stopOnClosedPort = true;
    bool console = true;  // dravikctl offers it
    std::string_view summary;
};

// In the order of the page's buttons.
std::span<const ButtonFlow> ButtonFlows();
const ButtonFlow& FlowOf(ButtonFlowId id);
// By dravikctl's name; nullptr when none.
const ButtonFlow* FindButtonFlow(std::string_view name);

// Which lookup of a row a hook sees: the row's frame, or the query / set of read-then-set.
enum class FrameLookup { Row, Query, Set };

// What a caller may add to a flow; all optional. The page reads its controls, dravikctl
// records each display's result.
struct ButtonFlowHooks {
    std::function<void()> readControls;
    // Every lookup, before a refusal is shown.
    std::function<void(int row, FrameLookup lookup, protocol::Outcome outcome, const QString& model)> lookedUp;
    std::function<void(int row)> rowStarting;  // before the row's exchange
    std::function<void(int row)> rowSent;      // after it
    std::function<void(int row)> rowSkipped;   // the row got no frame, so no exchange
};

// Runs the button's flow with the page values (the builders read them, a refused model gets
// the refusal). False, doing nothing, while another flow of the context still runs.
bool RunButtonFlow(ExchangeContext& ctx, const ButtonFlow& flow, protocol::PageValues& values,
                   const ButtonFlowHooks& hooks = {});
bool RunButtonFlow(ExchangeContext& ctx, ButtonFlowId id, protocol::PageValues& values,
                   const ButtonFlowHooks& hooks = {});

}  // namespace dravik::transport
