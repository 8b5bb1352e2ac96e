#include "transport/command_flows.h"

#include "protocol/catalogue.h"
#include "protocol/status.h"
#include "transport/lan.h"
#include "transport/pump_wait.h"
#include "transport/serial.h"
#include "transport/texts.h"

#include <QThread>

#include <algorithm>
#include <utility>
#include <vector>

namespace dravik::transport {

namespace {

using protocol::Command;
using protocol::Frame;
using protocol::IrKey;
using Id = ButtonFlowId;

constexpr int kRowPauseMs = 300;

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
    f.clearTx = false;
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
        f.clearTx = false;
        f.serialPause = RowPause::None;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Custom, "custom", Command::Custom, "input Custom");
        f.clearTx = false;
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
        f.clearTx = true;
        t.push_back(f);
    }
    t.push_back(Status(Id::Hours, "hours", protocol::kStatusHours, "operating-hours query"));
    {
        ButtonFlow f = Status(Id::BacklightQuery, "backlight-query", protocol::kStatusBacklightOrVideo,
                              "backlight query (video parameters on the models that read those instead)");
        f.clearMessageLine = true;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Reset, "reset", Command::Reset, "reset");
        f.kind = FlowKind::ServiceWalk;
        f.readsControls = false;
        f.clearTx = false;
        f.serialPause = RowPause::None;
        f.stopOnClosedPort = false;
        t.push_back(f);
    }
    {
        ButtonFlow f = ByModel(Id::Player, "player", Command::MediaPlayer, "input media player (service walk)");
        f.kind = FlowKind::ServiceWalk;
        f.readsControls = false;
        f.clearTx = false;
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

void Pause(RowPause pause) {
    switch (pause) {
        case RowPause::Pumping: PumpWait(kRowPauseMs); break;
        case RowPause::Sleep: QThread::msleep(kRowPauseMs); break;
        case RowPause::None: break;
    }
}

template <typename Fn, typename... Args>
void Call(const Fn& fn, Args&&... args) {
    if (fn) fn(std::forward<Args>(args)...);
}

// One run of a button's flow on one context.
class Run {
public:
    Run(ExchangeContext& ctx, const ButtonFlow& flow, protocol::PageValues& values, const ButtonFlowHooks& hooks)
        : ctx_(ctx), flow_(flow), values_(values), hooks_(hooks) {}

    bool go() {
        switch (flow_.kind) {
            case FlowKind::Fixed: return fixed();
            case FlowKind::ByModel: return byModel();
            case FlowKind::PowerOff: return powerOff();
            case FlowKind::ReadThenSet: return readThenSet();
            case FlowKind::StatusQuery: return statusQuery();
            case FlowKind::ServiceWalk: return serviceWalk();
        }
        return false;
    }

private:
    // The command's frame for the row's model into the frame buffer; a refused model gets
    // the refusal, a silent one nothing.
    bool take(int row, FrameLookup lookup, Command command, const QString& model) {
        const std::string name = model.toStdString();
        // The outcome depends on the model alone; the builder runs (and may store back into
        // the values) only for a frame.
        protocol::PageValues probe = values_;
        const protocol::Selection look = protocol::Select(command, name, probe);
        Call(hooks_.lookedUp, row, lookup, look.outcome, model);
        if (!look.ok()) {
            if (look.outcome == protocol::Outcome::Refused) RefuseCommand(ctx_, model);
            return false;
        }
        if (flow_.readsControls) Call(hooks_.readControls);
        protocol::Selection built = protocol::Select(command, name, values_);
        ctx_.frameBuffer() = std::move(built.frame);
        return true;
    }

    FlowOptions options() const {
        FlowOptions o;
        o.clearTx = flow_.clearTx;
        o.serialPause = flow_.serialPause;
        o.refuseSelectedUnsupported = flow_.refuseSelectedUnsupported;
        o.selectedChosenInterfaceOnly = flow_.selectedChosenInterfaceOnly;
        o.lanSend = [this](ExchangeContext& c, int row) {
            Call(hooks_.rowStarting, row);
            SendLan(c, row);
            Call(hooks_.rowSent, row);
        };
        o.serialSend = [this](ExchangeContext& c, int row) {
            Call(hooks_.rowStarting, row);
            const bool open = SendSerial(c, row);
            Call(hooks_.rowSent, row);
            return open || !flow_.stopOnClosedPort;
        };
        return o;
    }

    bool fixed() {
        if (ctx_.busy()) return false;
        if (flow_.readsControls) Call(hooks_.readControls);
        ctx_.frameBuffer() = flow_.fixed();
        return SendToTargets(ctx_, options());
    }

    bool byModel() {
        // The selector sees models only: the flow asks for the selected row, or for every
        // row in list order, one call each.
        const int selected = ctx_.selectedRow();
        const bool single = selected >= 0 && selected < ctx_.rowCount();
        int next = 0;
        const RowSelector select = [&](const QString& model) {
            const int row = single ? selected : next++;
            if (take(row, FrameLookup::Row, flow_.command, model)) return true;
            Call(hooks_.rowSkipped, row);
            return false;
        };
        return SendByModel(ctx_, select, options());
    }

    bool powerOff() {
        if (ctx_.busy()) return false;
        return SendRebuilt(
            ctx_,
            [this](int row, const QString& model) {
                Call(hooks_.rowStarting, row);
                take(row, FrameLookup::Row, flow_.command, model);
            },
            options());
    }

    // Per row: the query where the model has one, its answer decoded, then the set frame
    // carrying the level and what was just read.
    bool readThenSet() {
        if (ctx_.busy()) return false;
        const auto builders = [this](int row) {
            const FrameBuilder query = [this, row](const QString& model) {
                return take(row, FrameLookup::Query, flow_.queryCommand, model);
            };
            const FrameBuilder set = [this, row](const QString& model) {
                return take(row, FrameLookup::Set, flow_.command, model);
            };
            return std::pair{query, set};
        };
        FlowOptions o = options();
        o.lanSend = [this, builders](ExchangeContext& c, int row) {
            const auto [query, set] = builders(row);
            Call(hooks_.rowStarting, row);
            ReadThenSetLan(c, row, query, set);
            Call(hooks_.rowSent, row);
        };
        o.serialSend = [this, builders](ExchangeContext& c, int row) {
            const auto [query, set] = builders(row);
            Call(hooks_.rowStarting, row);
            const bool open = ReadThenSetSerial(c, row, query, set);
            Call(hooks_.rowSent, row);
            return open || !flow_.stopOnClosedPort;
        };
        return SendToTargets(ctx_, o);
    }

    bool statusQuery() {
        const FlowGuard guard(ctx_);
        if (!guard) return false;
        if (flow_.clearTx) ctx_.setTxText(QString());
        if (flow_.clearMessageLine) ctx_.setMessageLine(QString());
        if (ctx_.rowCount() == 0) {
            ctx_.feedback().beep();
            return true;
        }
        const int row = ctx_.selectedRow();
        if (row < 0) {
            ctx_.feedback().message(texts::kSelectOneMonitor);
            return true;
        }
        const QString model = ctx_.cellText(row, kColModel);
        protocol::Selection query = protocol::BuildStatusQuery(flow_.statusKind, model.toStdString());
        Call(hooks_.lookedUp, row, FrameLookup::Row, query.outcome, model);
        if (!query.ok()) {
            if (query.outcome == protocol::Outcome::Refused) RefuseCommand(ctx_, model);
            Call(hooks_.rowSkipped, row);
            return true;
        }
        ctx_.frameBuffer() = std::move(query.frame);
        Call(hooks_.rowStarting, row);
        if (ctx_.lanMode()) {
            QueryLan(ctx_, row);
        } else {
            QuerySerial(ctx_, row);
        }
        Call(hooks_.rowSent, row);
        return true;
    }

    // The selected row, else every row; each row gets both senders (each does nothing
    // outside its interface). Over RS-232 across all rows the pause comes before the send.
    bool serviceWalk() {
        const FlowGuard guard(ctx_);
        if (!guard) return false;
        if (flow_.clearTx) ctx_.setTxText(QString());
        const int count = ctx_.rowCount();
        if (count <= 0) {
            ctx_.feedback().beep();
            return true;
        }
        const auto one = [this](int row, bool allRows) {
            if (!take(row, FrameLookup::Row, flow_.command, ctx_.cellText(row, kColModel))) {
                Call(hooks_.rowSkipped, row);
                return true;
            }
            Call(hooks_.rowStarting, row);
            SendLan(ctx_, row);
            if (!ctx_.lanMode() && allRows) Pause(flow_.serialPause);
            const bool open = SendSerial(ctx_, row);
            Call(hooks_.rowSent, row);
            return open || !flow_.stopOnClosedPort;
        };
        const int selected = ctx_.selectedRow();
        if (selected >= 0) {
            one(selected, false);
            return true;
        }
        // A pumping wait lets the operator remove rows; never address one that is gone.
        for (int row = 0; row < count && row < ctx_.rowCount(); ++row) {
            if (!one(row, true)) break;
        }
        return true;
    }

    ExchangeContext& ctx_;
    const ButtonFlow& flow_;
    protocol::PageValues& values_;
    const ButtonFlowHooks& hooks_;
};

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

bool RunButtonFlow(ExchangeContext& ctx, const ButtonFlow& flow, protocol::PageValues& values,
                   const ButtonFlowHooks& hooks) {
    return Run(ctx, flow, values, hooks).go();
}

bool RunButtonFlow(ExchangeContext& ctx, ButtonFlowId id, protocol::PageValues& values,
                   const ButtonFlowHooks& hooks) {
    return RunButtonFlow(ctx, FlowOf(id), values, hooks);
}

}  // namespace dravik::transport
