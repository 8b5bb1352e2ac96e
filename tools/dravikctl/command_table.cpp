#include "dravikctl/command_table.h"

#include "protocol/models.h"
#include "protocol/status.h"
#include "protocol/wall.h"

#include <algorithm>

namespace dravik::ctl {

namespace {

using protocol::Command;
using protocol::Frame;
using flows::ButtonFlow;
using flows::FlowKind;

Frame WallOn() { return protocol::BuildWallMode(true); }
Frame WallOff() { return protocol::BuildWallMode(false); }
Frame WallPowerOn() { return protocol::BuildWallPower(true); }
Frame WallPowerOff() { return protocol::BuildWallPower(false); }
Frame LocationTest() { return protocol::BuildLocationTest(); }

CommandEntry Entry(std::string_view name, Action action, std::string_view summary) {
    CommandEntry s;
    s.name = name;
    s.action = action;
    s.summary = summary;
    return s;
}

StatusQuery StatusOf(int kind) {
    switch (kind) {
        case protocol::kStatusHours: return StatusQuery::Hours;
        case protocol::kStatusBacklightOrVideo: return StatusQuery::BacklightOrVideo;
        default: return StatusQuery::Temperature;
    }
}

// A Control-page button as a command: the flow decides the action, the command decides
// which value of the command line it reads.
// A command that always sends the same frame.
CommandEntry FixedEntry(std::string_view name, Action action, std::string_view summary, protocol::Frame (*frame)()) {
    CommandEntry e = Entry(name, action, summary);
    e.fixed = frame;
    return e;
}

CommandEntry FromButton(const ButtonFlow& flow) {
    CommandEntry s;
    s.name = flow.name;
    s.flow = &flow;
    s.summary = flow.summary;
    s.command = flow.command;
    s.fixed = flow.fixed;
    switch (flow.kind) {
        case FlowKind::Fixed: s.action = Action::Fixed; break;
        case FlowKind::PowerOff: s.action = Action::PowerOff; break;
        case FlowKind::ByModel:
        case FlowKind::ServiceWalk: s.action = Action::ByModel; break;
        case FlowKind::ReadThenSet: s.action = Action::Brightness; break;
        case FlowKind::StatusQuery:
            s.action = Action::StatusQuery;
            s.status = StatusOf(flow.statusKind);
            break;
    }
    switch (flow.command) {
        case Command::Backlight: s.level = LevelKind::Backlight; break;
        case Command::BrightnessSet: s.level = LevelKind::Brightness; break;
        case Command::Volume: s.level = LevelKind::Volume; break;
        case Command::KeyLock: s.lock = LockKind::Key; break;
        case Command::IrLock: s.lock = LockKind::Ir; break;
        default: break;
    }
    return s;
}

// The Control page's buttons in their order ("video", which no button sends alone, after
// the other queries), then the wall commands.
const std::vector<CommandEntry>& Table() {
    static const std::vector<CommandEntry> table = [] {
        std::vector<CommandEntry> t;
        for (const ButtonFlow& flow : flows::ButtonFlows()) {
            if (!flow.console) continue;
            t.push_back(FromButton(flow));
            if (flow.id == flows::ButtonFlowId::BacklightQuery) {
                CommandEntry video = Entry("video", Action::StatusQuery, "video-parameters query");
                video.status = StatusQuery::VideoPreRead;
                t.push_back(video);
            }
        }
        t.push_back(FixedEntry("wall-on", Action::WallMode, "video wall on", &WallOn));
        t.push_back(FixedEntry("wall-off", Action::WallMode, "video wall off", &WallOff));
        t.push_back(Entry("wall-settings", Action::WallSettings,
                          "wall settings (--matrix, --pos, --enable, --frame-comp)"));
        t.push_back(Entry("gains", Action::Gains, "colour gains: the request, or with --rgb the set frame"));
        return t;
    }();
    return table;
}

// The wall page's own commands that "send" does not offer (its "on" and "off" are the
// Control page's buttons).
const std::vector<CommandEntry>& WallOnlyTable() {
    static const std::vector<CommandEntry> table = [] {
        return std::vector<CommandEntry>{
            FixedEntry("wall-power-on", Action::WallPower, "power on, as the wall page sends it", &WallPowerOn),
            FixedEntry("wall-power-off", Action::WallPower, "power off (18 01 whatever the model)", &WallPowerOff),
            FixedEntry("locate", Action::Locate, "location test: the menu key to the display", &LocationTest),
        };
    }();
    return table;
}

const CommandEntry* FindIn(const std::vector<CommandEntry>& t, std::string_view name) {
    const auto it = std::find_if(t.begin(), t.end(), [&](const CommandEntry& s) { return s.name == name; });
    return it == t.end() ? nullptr : &*it;
}

protocol::Selection Built(Frame frame) { return {protocol::Outcome::Frame, std::move(frame)}; }

}  // namespace

std::span<const CommandEntry> AllCommands() { return Table(); }

const CommandEntry* FindCommand(std::string_view name) {
    const auto& t = Table();
    const auto it = std::find_if(t.begin(), t.end(), [&](const CommandEntry& s) { return s.name == name; });
    return it == t.end() ? nullptr : &*it;
}

const CommandEntry* FindQuery(std::string_view name) {
    if (name == "backlight") return FindCommand("backlight-query");
    if (std::find(kQueryNames.begin(), kQueryNames.end(), name) == kQueryNames.end()) return nullptr;
    return FindCommand(name);
}

const CommandEntry* FindWallAction(std::string_view name) {
    if (name == "on") return FindCommand("wall-on");
    if (name == "off") return FindCommand("wall-off");
    if (name == "settings") return FindCommand("wall-settings");
    if (name == "gains") return FindCommand("gains");
    if (name == "power-on") return FindIn(WallOnlyTable(), "wall-power-on");
    if (name == "power-off") return FindIn(WallOnlyTable(), "wall-power-off");
    if (name == "locate") return FindIn(WallOnlyTable(), "locate");
    return nullptr;
}

bool IsKnownModel(std::string_view model) {
    return protocol::GroupOf(model).has_value() || protocol::Contains(protocol::wall_models::kScanFilter, model) ||
           protocol::Contains(protocol::wall_models::kBase15Matrix, model);
}

protocol::Selection SelectBrightnessQuery(const QString& model, FrameInputs& inputs) {
    return protocol::Select(Command::BrightnessQuery, model.toStdString(), inputs.values);
}

protocol::Selection SelectBrightnessSet(const QString& model, FrameInputs& inputs) {
    return protocol::Select(Command::BrightnessSet, model.toStdString(), inputs.values);
}

protocol::Selection SelectFor(const CommandEntry& entry, const QString& model, FrameInputs& inputs) {
    const std::string name = model.toStdString();
    switch (entry.action) {
        case Action::Fixed:
        case Action::WallMode:
        case Action::WallPower:
        case Action::Locate:
            return Built(entry.fixed());
        case Action::PowerOff:
        case Action::ByModel:
            return protocol::Select(entry.command, name, inputs.values);
        case Action::Brightness:
            return SelectBrightnessSet(model, inputs);
        case Action::StatusQuery:
            switch (entry.status) {
                case StatusQuery::Temperature: return protocol::BuildStatusQuery(protocol::kStatusTemperature, name);
                case StatusQuery::Hours: return protocol::BuildStatusQuery(protocol::kStatusHours, name);
                case StatusQuery::BacklightOrVideo:
                    return protocol::BuildStatusQuery(protocol::kStatusBacklightOrVideo, name);
                case StatusQuery::VideoPreRead: return protocol::BuildVideoParamsQuery(name);
            }
            break;
        case Action::WallSettings:
            return Built(protocol::BuildWallSettings(inputs.wallEnable, inputs.frameComp, inputs.pos.toStdString(),
                                                     name, inputs.columns, inputs.rows));
        case Action::Gains:
            if (!inputs.gainsGiven) return Built(protocol::BuildGainRequest());
            return Built(protocol::BuildGainSet(inputs.gains[0], inputs.gains[1], inputs.gains[2], name));
    }
    return {};
}

std::vector<LabelledSelection> FramesFor(const CommandEntry& entry, const QString& model, FrameInputs& inputs) {
    if (entry.action == Action::Brightness) {
        // The query lookup runs first; its refusal does not stop the set lookup.
        std::vector<LabelledSelection> out;
        out.push_back({"query", SelectBrightnessQuery(model, inputs)});
        out.push_back({"set", SelectBrightnessSet(model, inputs)});
        return out;
    }
    if (entry.action == Action::Gains && inputs.gainsGiven) {
        std::vector<LabelledSelection> out;
        out.push_back({"request", Built(protocol::BuildGainRequest())});
        out.push_back({"set", SelectFor(entry, model, inputs)});
        return out;
    }
    return {{std::string(), SelectFor(entry, model, inputs)}};
}

void Address(const CommandEntry& entry, protocol::Frame& frame, const QString& idText) {
    if (entry.wallAddressing()) {
        protocol::AddressAndSealWall(frame, idText.toStdString());
    } else {
        protocol::AddressAndSeal(frame, idText.toStdString());
    }
}

}  // namespace dravik::ctl
