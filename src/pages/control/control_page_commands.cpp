// ControlPage: the command buttons and the flows they run.
//
//  flow A  one frame for every row (IR keys, "On", "INFO")
//  flow B  the frame chosen per row by its model (inputs, levels, locks, "CMS", "Custom")
//  flow C  the power-off frame rebuilt per row ("Off")
//
// The rows are the selected one, or all in list order; an empty list only beeps. A press
// that arrives while a flow waits (the waits dispatch events) is ignored: the running flow
// is still sending the page's one frame buffer.
#include "pages/control/control_page.h"

#include "pages/control/control_texts.h"
#include "protocol/catalogue.h"
#include "protocol/status.h"
#include "transport/lan.h"
#include "transport/pump_wait.h"
#include "transport/send_flow.h"
#include "transport/serial.h"
#include "ui_control_page.h"

namespace dravik::pages {

using protocol::Command;
using protocol::Outcome;
using protocol::Selection;
using transport::FlowOptions;
using transport::RowPause;

namespace {
constexpr int kPlayerRowPauseMs = 300;
}  // namespace

void ControlPage::connectButtons() {
    Ui::ControlPage& ui = *ui_;
    const auto on = [this](QAbstractButton* button, auto handler) {
        connect(button, &QAbstractButton::clicked, this, handler);
    };

    on(ui.lanRadio, [this] { SwitchInterface(true); });
    on(ui.rs232Radio, [this] { SwitchInterface(false); });

    on(ui.addDeviceButton, [this] { AddDevice(); });
    on(ui.removeDeviceButton, [this] { RemoveDevice(); });
    on(ui.loadListButton, [this] { LoadList(); });
    on(ui.saveListButton, [this] { SaveList(); });
    on(ui.ipScanButton, [this] { scanLan(); });
    on(ui.checkMonitorButton, [this] { checkMonitors(); });
    on(ui.idSearchButton, [this] { searchMonitorIds(); });

    on(ui.portSearchButton, [this] {
        if (!busy()) comPort_->SearchPorts();
    });
    on(ui.openButton, [this] {
        if (!busy()) comPort_->OpenPort();
    });
    on(ui.closeButton, [this] {
        if (!busy()) comPort_->ClosePort();
    });

    const std::pair<QAbstractButton*, protocol::IrKey> keys[] = {
        {ui.powerKeyButton, protocol::IrKey::Power},    {ui.menuKeyButton, protocol::IrKey::Menu},
        {ui.inputKeyButton, protocol::IrKey::Input},    {ui.volumeUpKeyButton, protocol::IrKey::VolumeUp},
        {ui.volumeDownKeyButton, protocol::IrKey::VolumeDown}, {ui.muteKeyButton, protocol::IrKey::Mute},
        {ui.upKeyButton, protocol::IrKey::Up},          {ui.downKeyButton, protocol::IrKey::Down},
        {ui.leftKeyButton, protocol::IrKey::Left},      {ui.rightKeyButton, protocol::IrKey::Right},
        {ui.okKeyButton, protocol::IrKey::Ok},          {ui.returnKeyButton, protocol::IrKey::Return},
    };
    for (const auto& [button, key] : keys) {
        on(button, [this, key = key] { sendFixedFrame(protocol::BuildIrKey(key)); });
    }
    on(ui.onButton, [this] { sendFixedFrame(protocol::BuildPowerOn()); });
    on(ui.offButton, [this] { powerOff(); });

    on(ui.hdmi1Button, [this] { sendInput(Command::Hdmi1); });
    on(ui.hdmi2Button, [this] { sendInput(Command::Hdmi2); });
    on(ui.displayPortButton, [this] { sendInput(Command::DisplayPort); });
    on(ui.dviButton, [this] { sendInput(Command::Dvi); });
    on(ui.vgaButton, [this] { sendInput(Command::Vga); });
    on(ui.usbButton, [this] { sendInput(Command::Usb); });
    on(ui.cmsButton, [this] { sendCms(); });
    on(ui.customButton, [this] { sendCustom(); });

    on(ui.backlightSetButton, [this] { setBacklight(); });
    on(ui.brightnessSetButton, [this] { setBrightness(); });
    on(ui.volumeSetButton, [this] { setVolume(); });
    on(ui.keyLockSetButton, [this] { setKeyLock(); });
    on(ui.irLockSetButton, [this] { setIrLock(); });

    on(ui.updateButton, [this] { updateTemperature(); });
    on(ui.operatingHoursButton, [this] { readOperatingHours(); });
    on(ui.backlightQueryButton, [this] { readBacklightOrVideo(); });
    on(ui.resetButton, [this] { resetDisplays(); });
    on(ui.playerButton, [this] { selectMediaPlayer(); });
    on(ui.mediaPlayerButton, [this] { selectMediaPlayerByModel(); });
    on(ui.opsButton, [this] { selectOps(); });
    on(ui.infoKeyButton, [this] { sendInfoKey(); });

    on(ui.checksumButton, [this] { computeChecksum(); });
}

// ---------------------------------------------------------------------------------------

bool ControlPage::selectInto(Command command, const QString& model, bool readFirst) {
    const std::string name = model.toStdString();
    // The outcome depends on the model alone; the builder runs only for a frame.
    protocol::PageValues probe = values_;
    if (const Selection look = protocol::Select(command, name, probe); !look.ok()) {
        if (look.outcome == Outcome::Refused) transport::RefuseCommand(*this, model);
        return false;
    }
    if (readFirst) readControls();
    Selection built = protocol::Select(command, name, values_);
    frame_ = std::move(built.frame);
    return true;
}

transport::RowSelector ControlPage::selector(Command command, bool readFirst) {
    return [this, command, readFirst](const QString& model) { return selectInto(command, model, readFirst); };
}

void ControlPage::sendFixedFrame(const protocol::Frame& frame) {
    if (busy()) return;
    readControls();
    frame_ = frame;
    transport::SendToTargets(*this);
}

void ControlPage::powerOff() {
    if (busy()) return;
    // Six models take the alternative off frame (A8 00); every other name, listed or not,
    // the standard one (18 01).
    transport::SendRebuilt(*this, [this](int, const QString& model) { selectInto(Command::Off, model); });
}

void ControlPage::sendInput(Command command) {
    FlowOptions options;
    // "HDMI 1" repeats the refusal for a single selected row that gets no frame.
    options.refuseSelectedUnsupported = command == Command::Hdmi1;
    transport::SendByModel(*this, selector(command), options);
}

void ControlPage::sendCms() {
    FlowOptions options;
    options.clearTx = false;
    options.serialPause = RowPause::None;
    transport::SendByModel(*this, selector(Command::Cms), options);
}

void ControlPage::sendCustom() {
    FlowOptions options;
    options.clearTx = false;
    options.serialPause = RowPause::None;
    options.selectedChosenInterfaceOnly = true;
    transport::SendByModel(*this, selector(Command::Custom), options);
}

void ControlPage::setBacklight() { transport::SendByModel(*this, selector(Command::Backlight)); }

void ControlPage::setVolume() { transport::SendByModel(*this, selector(Command::Volume)); }

void ControlPage::setKeyLock() {
    FlowOptions options;
    options.serialPause = RowPause::None;
    transport::SendByModel(*this, selector(Command::KeyLock), options);
}

void ControlPage::setIrLock() {
    FlowOptions options;
    // The IR lock has always paused with the window held between RS-232 rows.
    options.serialPause = RowPause::Sleep;
    options.refuseSelectedUnsupported = true;
    transport::SendByModel(*this, selector(Command::IrLock), options);
}

// Per row: the video-parameters query where the model has one, its answer decoded, then
// the set frame carrying the brightness and the parameters just read.
void ControlPage::setBrightness() {
    if (busy()) return;
    const transport::FrameBuilder query = [this](const QString& model) {
        return selectInto(Command::BrightnessQuery, model);
    };
    const transport::FrameBuilder set = [this](const QString& model) {
        return selectInto(Command::BrightnessSet, model);
    };
    FlowOptions options;
    options.lanSend = [query, set](transport::ExchangeContext& ctx, int row) {
        transport::ReadThenSetLan(ctx, row, query, set);
    };
    options.serialSend = [query, set](transport::ExchangeContext& ctx, int row) {
        return transport::ReadThenSetSerial(ctx, row, query, set);
    };
    transport::SendToTargets(*this, options);
}

// ---------------------------------------------------------------------------------------
// Status queries: the selected row only.

void ControlPage::updateTemperature() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    setTxText(QString());
    runStatusQuery(protocol::kStatusTemperature);
}

void ControlPage::readOperatingHours() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    runStatusQuery(protocol::kStatusHours);
}

void ControlPage::readBacklightOrVideo() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    setMessageLine(QString());
    runStatusQuery(protocol::kStatusBacklightOrVideo);
}

void ControlPage::runStatusQuery(int kind) {
    if (rowCount() == 0) {
        feedback().beep();
        return;
    }
    const int row = selectedRow();
    if (row < 0) {
        feedback().message(control_texts::kSelectOneMonitor);
        return;
    }
    const QString model = cellText(row, transport::kColModel);
    Selection query = protocol::BuildStatusQuery(kind, model.toStdString());
    if (!query.ok()) {
        if (query.outcome == Outcome::Refused) transport::RefuseCommand(*this, model);
        return;
    }
    frame_ = std::move(query.frame);
    if (lan_) {
        transport::QueryLan(*this, row);
    } else {
        transport::QuerySerial(*this, row);
    }
}

// ---------------------------------------------------------------------------------------
// Service buttons (hidden in the layout; wired all the same).

void ControlPage::forEachAddressedRow(const std::function<void(int row, bool allRows)>& fn) {
    const int count = rowCount();
    if (count <= 0) {
        feedback().beep();
        return;
    }
    const int selected = selectedRow();
    if (selected >= 0) {
        fn(selected, false);
        return;
    }
    for (int row = 0; row < count && row < rowCount(); ++row) fn(row, true);
}

// "Reset": no pause between rows, and a failed send does not stop the walk.
void ControlPage::resetDisplays() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    forEachAddressedRow([this](int row, bool) {
        if (!selectInto(Command::Reset, cellText(row, transport::kColModel), false)) return;
        transport::SendLan(*this, row);
        transport::SendSerial(*this, row);
    });
}

// "Player": over RS-232 and across all rows a pumping wait comes before each send; a failed
// send does not stop the walk.
void ControlPage::selectMediaPlayer() {
    const transport::FlowGuard guard(*this);
    if (!guard) return;
    forEachAddressedRow([this](int row, bool allRows) {
        if (!selectInto(Command::MediaPlayer, cellText(row, transport::kColModel), false)) return;
        transport::SendLan(*this, row);
        if (!lan_ && allRows) transport::PumpWait(kPlayerRowPauseMs);
        transport::SendSerial(*this, row);
    });
}

void ControlPage::selectMediaPlayerByModel() {
    transport::SendByModel(*this, selector(Command::MediaPlayer, false));
}

void ControlPage::selectOps() { transport::SendByModel(*this, selector(Command::Ops, false)); }

void ControlPage::sendInfoKey() {
    if (busy()) return;
    frame_ = protocol::BuildInfoFrame();
    transport::SendToTargets(*this);
}

// ---------------------------------------------------------------------------------------
// Discovery hooks. The LAN scan ("IP Scan", with "Lock Model"), the serial monitor check
// ("Check Monitor") and the monitor ID search ("Search") are wired in here by the discovery
// work; until then the buttons keep their enabled states and do nothing.

void ControlPage::scanLan() {}

void ControlPage::checkMonitors() {}

void ControlPage::searchMonitorIds() {}

}  // namespace dravik::pages
