#include "flows/button_table.h"

#include "protocol/catalogue.h"
#include "protocol/status.h"

#include <QtGlobal>

#include <algorithm>
#include <utility>
#include <vector>

namespace dravik::flows {

namespace {

using protocol::Command;
using protocol::Frame;
using protocol::IrKey;
using Id = ButtonFlowId;

template <IrKey key>
Frame Ir() {
    return protocol::BuildIrKey(key);
}

ButtonFlow Make(Id id, std::string_view name, FlowKind kind) {
    ButtonFlow f;
    f.id = id;
    f.name = name;
    f.kind = kind;
    return f;
}

ButtonFlow Fixed(Id id, std::string_view name, Frame (*build)(), std::string_view summary) {
    ButtonFlow f = Make(id, name, FlowKind::Fixed);
    f.fixed = build;
    f.summary = summary;
    return f;
}

ButtonFlow ByModel(Id id, std::string_view name, Command command, std::string_view summary) {
    ButtonFlow f = Make(id, name, FlowKind::ByModel);
    f.command = command;
    f.summary = summary;
    return f;
}

ButtonFlow Status(Id id, std::string_view name, int kind, std::string_view summary) {
    ButtonFlow f = Make(id, name, FlowKind::StatusQuery);
    f.statusKind = kind;
    f.readsControls = false;
    f.announcesStart = false;
    f.summary = summary;
    return f;
}

std::vector<ButtonFlow> MakeTable() {
    std::vector<ButtonFlow> t;
    t.push_back(Fixed(Id::PowerKey, "power", &Ir<IrKey::Power>, "remote key Power"));
    t.push_back(Fixed(Id::MenuKey, "menu", &Ir<IrKey::Menu>, "remote key Menu"));
    t.push_back(Fixed(Id::InputKey, "input", &Ir<IrKey::Input>, "remote key Input"));
    t.push_back(Fixed(Id::VolumeUpKey, "vol-up", &Ir<IrKey::VolumeUp>, "remote key Vol +"));
    t.push_back(Fixed(Id::VolumeDownKey, "vol-down", &Ir<IrKey::VolumeDown>, "remote key Vol -"));
    t.push_back(Fixed(Id::MuteKey, "mute", &Ir<IrKey::Mute>, "remote key Mute"));
    t.push_back(Fixed(Id::UpKey, "up", &Ir<IrKey::Up>, "remote key Up"));
    t.push_back(Fixed(Id::DownKey, "down", &Ir<IrKey::Down>, "remote key Down"));
    t.push_back(Fixed(Id::LeftKey, "left", &Ir<IrKey::Left>, "remote key Left"));
    t.push_back(Fixed(Id::RightKey, "right", &Ir<IrKey::Right>, "remote key Right"));
    t.push_back(Fixed(Id::OkKey, "ok", &Ir<IrKey::Ok>, "remote key OK"));
    t.push_back(Fixed(Id::ReturnKey, "return", &Ir<IrKey::Return>, "remote key Return"));
    {
        ButtonFlow f = Fixed(Id::InfoKey, "info", &protocol::BuildInfoFrame, "remote key INFO");
        f.readsControls = false;
        t.push_back(f);
    }
    t.push_back(Fixed(Id::On, "on", &protocol::BuildPowerOn, "power on"));
    {
        // Six models take the alternative off frame (A8 00); every other name, listed or
        // not, the standard one (18 01).
        ButtonFlow f = Make(Id::Off, "off", FlowKind::PowerOff);
        f.command = Command::Off;
        f.summary = "power off (18 01, or A8 00 for the models that take it)";
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Hdmi1, "hdmi1", Command::Hdmi1, "input HDMI 1");
        f.refuseSelectedUnsupported = true;
        t.push_back(f);
    }
    t.push_back(ByModel(Id::Hdmi2, "hdmi2", Command::Hdmi2, "input HDMI 2"));
    t.push_back(ByModel(Id::DisplayPort, "displayport", Command::DisplayPort, "input DisplayPort"));
    t.push_back(ByModel(Id::Dvi, "dvi", Command::Dvi, "input DVI"));
    t.push_back(ByModel(Id::Vga, "vga", Command::Vga, "input VGA"));
    t.push_back(ByModel(Id::Usb, "usb", Command::Usb, "input USB"));
    {
        ButtonFlow f = ByModel(Id::Cms, "cms", Command::Cms, "input CMS");
        f.announcesStart = false;
        f.serialPause = RowPause::None;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Custom, "custom", Command::Custom, "input Custom");
        f.announcesStart = false;
        f.serialPause = RowPause::None;
        f.selectedChosenInterfaceOnly = true;
        t.push_back(f);
    }
    t.push_back(ByModel(Id::Backlight, "backlight", Command::Backlight, "backlight level (--level)"));
    {
        ButtonFlow f = Make(Id::Brightness, "brightness", FlowKind::ReadThenSet);
        f.queryCommand = Command::BrightnessQuery;
        f.command = Command::BrightnessSet;
        f.summary = "brightness level (--level): video-parameters query, then the set frame";
        t.push_back(f);
    }
    t.push_back(ByModel(Id::Volume, "volume", Command::Volume, "volume level (--level)"));
    {
        ButtonFlow f = ByModel(Id::KeyLock, "key-lock", Command::KeyLock, "key lock (--key-lock, --ir-lock)");
        f.serialPause = RowPause::None;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::IrLock, "ir-lock", Command::IrLock, "IR lock (--ir-lock, --key-lock)");
        // The IR lock has always paused with the window held between RS-232 rows.
        f.serialPause = RowPause::Sleep;
        f.refuseSelectedUnsupported = true;
        t.push_back(f);
    }
    {
        ButtonFlow f = Status(Id::Temperature, "temperature", protocol::kStatusTemperature, "temperature query");
        f.announcesStart = true;
        t.push_back(f);
    }
    t.push_back(Status(Id::Hours, "hours", protocol::kStatusHours, "operating-hours query"));
    {
        ButtonFlow f = Status(Id::BacklightQuery, "backlight-query", protocol::kStatusBacklightOrVideo,
                              "backlight query (video parameters on the models that read those instead)");
        f.announcesQuery = true;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Reset, "reset", Command::Reset, "reset");
        f.kind = FlowKind::ServiceWalk;
        f.readsControls = false;
        f.announcesStart = false;
        f.serialPause = RowPause::None;
        f.stopOnClosedPort = false;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Player, "player", Command::MediaPlayer, "input media player (service walk)");
        f.kind = FlowKind::ServiceWalk;
        f.readsControls = false;
        f.announcesStart = false;
        f.stopOnClosedPort = false;
        f.console = false;  // the console's media-player is the "M.Player" button
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::MediaPlayer, "media-player", Command::MediaPlayer, "input media player");
        f.readsControls = false;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Ops, "ops", Command::Ops, "input OPS");
        f.readsControls = false;
        t.push_back(f);
    }
    return t;
}

const std::vector<ButtonFlow>& Table() {
    static const std::vector<ButtonFlow> table = MakeTable();
    return table;
}

}  // namespace

std::span<const ButtonFlow> ButtonFlows() { return Table(); }

const ButtonFlow& FlowOf(ButtonFlowId id) {
    const auto& t = Table();
    const auto it = std::find_if(t.begin(), t.end(), [id](const ButtonFlow& f) { return f.id == id; });
    Q_ASSERT(it != t.end());
    return *it;
}

const ButtonFlow* FindButtonFlow(std::string_view name) {
    const auto& t = Table();
    const auto it = std::find_if(t.begin(), t.end(), [name](const ButtonFlow& f) { return f.name == name; });
    return it == t.end() ? nullptr : &*it;
}

}  // namespace dravik::flows
