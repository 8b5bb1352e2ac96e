// The commands dravikctl knows, mapped onto the selectors and builders the pages use. Both
// "frame" (which prints) and "send"/"query" (which transmit) take their frames from here,
// so what is printed is what goes out.
#pragma once

#include "protocol/catalogue.h"
#include "protocol/selectors.h"
#include "protocol/values.h"
#include "flows/button_table.h"

#include <QString>

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::ctl {

enum class Action {
    Fixed,         // one frame whatever the model (IR keys, "On", "INFO"): flow A
    PowerOff,      // the frame rebuilt for each model ("Off"): flow C
    ByModel,       // the command's selector per model: flow B
    Brightness,    // video-parameters query, then the set frame, per target
    StatusQuery,   // temperature, hours, backlight or video parameters: "query" only
    WallMode,      // wall on / off: every target, wall senders
    WallSettings,  // rebuilt per target from its position and model, wall senders
    Gains,         // colour gains: request ("query") or set ("send" with --rgb)
    WallPower,     // the wall page's power on / off ("wall power-on"): every target
    Locate,        // the location test ("wall locate"): the menu key to each target
};

// Which status query a StatusQuery command builds.
enum class StatusQuery {
    Temperature,   // BuildStatusQuery kind 1
    Hours,         // kind 2
    BacklightOrVideo,  // kind 3: backlight, or video parameters for the "BR/BKL" models
    VideoPreRead,  // the video-parameters query that precedes a brightness write
};

// Which level a ByModel command reads from --level.
enum class LevelKind { None, Backlight, Brightness, Volume };
// Which lock flag a command needs from the command line.
enum class LockKind { None, Key, Ir };

struct CommandEntry {
    std::string_view name;
    Action action = Action::Fixed;
    protocol::Command command = protocol::Command::Off;  // PowerOff, ByModel, Brightness
    protocol::Frame (*fixed)() = nullptr;                 // Fixed and WallMode
    StatusQuery status = StatusQuery::Temperature;        // StatusQuery
    LevelKind level = LevelKind::None;
    LockKind lock = LockKind::None;
    // The Control page's button this command is (its flow, pacing and stop rule); nullptr
    // for the wall commands and "video".
    const flows::ButtonFlow* flow = nullptr;
    std::string_view summary;

    bool wallAddressing() const {
        return action == Action::WallMode || action == Action::WallSettings || action == Action::Gains ||
               action == Action::WallPower || action == Action::Locate;
    }
    // False for the commands whose frame never depends on the model.
    bool needsModel() const {
        return action != Action::Fixed && action != Action::WallMode && action != Action::WallPower &&
               action != Action::Locate;
    }
};

std::span<const CommandEntry> AllCommands();
// nullptr for an unknown name.
const CommandEntry* FindCommand(std::string_view name);
// The names "query" takes: temperature, hours, backlight, video, gains.
const CommandEntry* FindQuery(std::string_view name);
inline constexpr std::array<std::string_view, 5> kQueryNames{"temperature", "hours", "backlight", "video", "gains"};

// "dravikctl wall ACTION": on, off, settings, power-on, power-off, locate, gains; nullptr for
// any other name.
const CommandEntry* FindWallAction(std::string_view name);
inline constexpr std::array<std::string_view, 7> kWallActionNames{"on",       "off",       "settings", "power-on",
                                                                  "power-off", "locate", "gains"};

// True for a model name the tool lists anywhere (model groups and the wall page's lists).
bool IsKnownModel(std::string_view model);

// Everything besides the model that a frame depends on.
struct FrameInputs {
    protocol::DisplayValues values;  // levels and lock flags (page defaults unless given)
    int columns = 1;              // wall matrix
    int rows = 1;
    bool wallEnable = true;
    bool frameComp = true;
    QString pos;                  // the target's "Pos"
    std::array<int, 3> gains{128, 128, 128};
    bool gainsGiven = false;      // --rgb: the gain-set frame
};

// One frame lookup: a label ("" for the only one; "query"/"set", "request"/"set") and the
// selector's answer.
struct LabelledSelection {
    std::string label;
    protocol::Selection selection;
};

// The frames a command gives a model, in the order they go out, before addressing.
// Selectors that store back into the values (the even brightness) do so in `inputs`.
std::vector<LabelledSelection> FramesFor(const CommandEntry& entry, const QString& model, FrameInputs& inputs);

// The frame a rebuilt or model-chosen command gives one target (PowerOff, ByModel,
// WallSettings, Gains set and the status queries); the same lookups as FramesFor.
protocol::Selection SelectFor(const CommandEntry& entry, const QString& model, FrameInputs& inputs);
// The brightness pre-read and set lookups.
protocol::Selection SelectBrightnessQuery(const QString& model, FrameInputs& inputs);
protocol::Selection SelectBrightnessSet(const QString& model, FrameInputs& inputs);

// Addresses and seals a frame for a monitor ID text, as the page's senders do (the wall
// page's rule for the wall commands).
void Address(const CommandEntry& entry, protocol::Frame& frame, const QString& idText);

}  // namespace dravik::ctl
