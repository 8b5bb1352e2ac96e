// Which flow each command button of the Control page runs, as data: the page and dravikctl run
// it through RunControlFlow, so the two never drift apart.
#pragma once

#include "protocol/frame.h"
#include "protocol/selectors.h"
#include "protocol/values.h"

#include <span>
#include <string_view>

namespace dravik::flows {

// What follows each RS-232 row sent to when all rows are addressed: the line's 300 ms pause
// (Pumping and Sleep were the window's two ways to wait it; on the worker they are one).
enum class RowPause {
    Pumping,
    Sleep,
    None,
};

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
    // The flow reports its start (commandStarted), and a status query its own (queryStarted).
    bool announcesStart = true;
    bool announcesQuery = false;  // StatusQuery
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

}  // namespace dravik::flows
