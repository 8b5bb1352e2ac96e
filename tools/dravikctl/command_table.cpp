#include "dravikctl/command_table.h"

#include "protocol/models.h"
#include "protocol/status.h"
#include "protocol/wall.h"
#include "transport/exchange_context.h"

#include <algorithm>

namespace dravik::ctl {

namespace {

using protocol::Command;
using protocol::Frame;
using protocol::IrKey;
using transport::RowPause;

template <IrKey key>
Frame Ir() {
    return protocol::BuildIrKey(key);
}
Frame WallOn() { return protocol::BuildWallMode(true); }
Frame WallOff() { return protocol::BuildWallMode(false); }

CommandEntry Entry(std::string_view name, Action action, Command command = Command::Off) {
    CommandEntry s;
    s.name = name;
    s.action = action;
    s.command = command;
    return s;
}

CommandEntry FixedCmd(std::string_view name, Frame (*build)(), std::string_view summary) {
    CommandEntry s = Entry(name, Action::Fixed);
    s.fixed = build;
    s.summary = summary;
    return s;
}

CommandEntry ByModelCmd(std::string_view name, Command command, std::string_view summary,
                       RowPause pause = RowPause::Pumping) {
    CommandEntry s = Entry(name, Action::ByModel, command);
    s.serialPause = pause;
    s.summary = summary;
    return s;
}

CommandEntry StatusCmd(std::string_view name, StatusQuery query, std::string_view summary) {
    CommandEntry s = Entry(name, Action::StatusQuery);
    s.status = query;
    s.summary = summary;
    return s;
}

// In the order of the Control page's buttons, then the service, status and wall commands.
const std::vector<CommandEntry>& Table() {
    static const std::vector<CommandEntry> table = [] {
        std::vector<CommandEntry> t;
        t.push_back(FixedCmd("power", &Ir<IrKey::Power>, "remote key Power"));
        t.push_back(FixedCmd("menu", &Ir<IrKey::Menu>, "remote key Menu"));
        t.push_back(FixedCmd("input", &Ir<IrKey::Input>, "remote key Input"));
        t.push_back(FixedCmd("vol-up", &Ir<IrKey::VolumeUp>, "remote key Vol +"));
        t.push_back(FixedCmd("vol-down", &Ir<IrKey::VolumeDown>, "remote key Vol -"));
        t.push_back(FixedCmd("mute", &Ir<IrKey::Mute>, "remote key Mute"));
        t.push_back(FixedCmd("up", &Ir<IrKey::Up>, "remote key Up"));
        t.push_back(FixedCmd("down", &Ir<IrKey::Down>, "remote key Down"));
        t.push_back(FixedCmd("left", &Ir<IrKey::Left>, "remote key Left"));
        t.push_back(FixedCmd("right", &Ir<IrKey::Right>, "remote key Right"));
        t.push_back(FixedCmd("ok", &Ir<IrKey::Ok>, "remote key OK"));
        t.push_back(FixedCmd("return", &Ir<IrKey::Return>, "remote key Return"));
        t.push_back(FixedCmd("info", &protocol::BuildInfoFrame, "remote key INFO"));
        t.push_back(FixedCmd("on", &protocol::BuildPowerOn, "power on"));
        {
            CommandEntry off = Entry("off", Action::PowerOff, Command::Off);
            off.summary = "power off (18 01, or A8 00 for the models that take it)";
            t.push_back(off);
        }
        t.push_back(ByModelCmd("hdmi1", Command::Hdmi1, "input HDMI 1"));
        t.push_back(ByModelCmd("hdmi2", Command::Hdmi2, "input HDMI 2"));
        t.push_back(ByModelCmd("displayport", Command::DisplayPort, "input DisplayPort"));
        t.push_back(ByModelCmd("dvi", Command::Dvi, "input DVI"));
        t.push_back(ByModelCmd("vga", Command::Vga, "input VGA"));
        t.push_back(ByModelCmd("usb", Command::Usb, "input USB"));
        t.push_back(ByModelCmd("cms", Command::Cms, "input CMS", RowPause::None));
        t.push_back(ByModelCmd("custom", Command::Custom, "input Custom", RowPause::None));
        {
            CommandEntry s = ByModelCmd("backlight", Command::Backlight, "backlight level (--level)");
            s.level = LevelKind::Backlight;
            t.push_back(s);
        }
        {
            CommandEntry s = Entry("brightness", Action::Brightness, Command::BrightnessSet);
            s.level = LevelKind::Brightness;
            s.summary = "brightness level (--level): video-parameters query, then the set frame";
            t.push_back(s);
        }
        {
            CommandEntry s = ByModelCmd("volume", Command::Volume, "volume level (--level)");
            s.level = LevelKind::Volume;
            t.push_back(s);
        }
        {
            CommandEntry s = ByModelCmd("key-lock", Command::KeyLock, "key lock (--key-lock, --ir-lock)",
                                       RowPause::None);
            s.lock = LockKind::Key;
            t.push_back(s);
        }
        {
            CommandEntry s = ByModelCmd("ir-lock", Command::IrLock, "IR lock (--ir-lock, --key-lock)",
                                       RowPause::Sleep);
            s.lock = LockKind::Ir;
            t.push_back(s);
        }
        t.push_back(StatusCmd("temperature", StatusQuery::Temperature, "temperature query"));
        t.push_back(StatusCmd("hours", StatusQuery::Hours, "operating-hours query"));
        t.push_back(StatusCmd("backlight-query", StatusQuery::BacklightOrVideo,
                              "backlight query (video parameters on the models that read those instead)"));
        t.push_back(StatusCmd("video", StatusQuery::VideoPreRead, "video-parameters query"));
        {
            CommandEntry s = ByModelCmd("reset", Command::Reset, "reset", RowPause::None);
            s.stopOnClosedPort = false;
            t.push_back(s);
        }
        t.push_back(ByModelCmd("media-player", Command::MediaPlayer, "input media player"));
        t.push_back(ByModelCmd("ops", Command::Ops, "input OPS"));
        {
            CommandEntry s = Entry("wall-on", Action::WallMode);
            s.fixed = &WallOn;
            s.summary = "video wall on";
            t.push_back(s);
        }
        {
            CommandEntry s = Entry("wall-off", Action::WallMode);
            s.fixed = &WallOff;
            s.summary = "video wall off";
            t.push_back(s);
        }
        {
            CommandEntry s = Entry("wall-settings", Action::WallSettings);
            s.summary = "wall settings (--matrix, --pos, --enable, --frame-comp)";
            t.push_back(s);
        }
        {
            CommandEntry s = Entry("gains", Action::Gains);
            s.summary = "colour gains: the request, or with --rgb the set frame";
            t.push_back(s);
        }
        return t;
    }();
    return table;
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
        transport::AddressAndSealWall(frame, idText);
    } else {
        transport::AddressAndSeal(frame, idText);
    }
}

}  // namespace dravik::ctl
