// ControlPage: the command buttons. Which flow each one runs is in transport/command_flows
// (dravikctl runs the same table); the flow itself runs in flows/ (control_page_flow.cpp).
#include "pages/control/control_page.h"

#include "pages/control/control_texts.h"
#include "protocol/catalogue.h"
#include "protocol/status.h"
#include "flows/button_table.h"
#include "ui_control_page.h"

namespace dravik::pages {

using flows::ButtonFlowId;

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

    // The status queries and the service buttons (hidden in the layout) are wired all the same.
    const std::pair<QAbstractButton*, ButtonFlowId> buttons[] = {
        {ui.powerKeyButton, ButtonFlowId::PowerKey},       {ui.menuKeyButton, ButtonFlowId::MenuKey},
        {ui.inputKeyButton, ButtonFlowId::InputKey},       {ui.volumeUpKeyButton, ButtonFlowId::VolumeUpKey},
        {ui.volumeDownKeyButton, ButtonFlowId::VolumeDownKey}, {ui.muteKeyButton, ButtonFlowId::MuteKey},
        {ui.upKeyButton, ButtonFlowId::UpKey},             {ui.downKeyButton, ButtonFlowId::DownKey},
        {ui.leftKeyButton, ButtonFlowId::LeftKey},         {ui.rightKeyButton, ButtonFlowId::RightKey},
        {ui.okKeyButton, ButtonFlowId::OkKey},             {ui.returnKeyButton, ButtonFlowId::ReturnKey},
        {ui.onButton, ButtonFlowId::On},                   {ui.offButton, ButtonFlowId::Off},
        {ui.hdmi1Button, ButtonFlowId::Hdmi1},             {ui.hdmi2Button, ButtonFlowId::Hdmi2},
        {ui.displayPortButton, ButtonFlowId::DisplayPort}, {ui.dviButton, ButtonFlowId::Dvi},
        {ui.vgaButton, ButtonFlowId::Vga},                 {ui.usbButton, ButtonFlowId::Usb},
        {ui.cmsButton, ButtonFlowId::Cms},                 {ui.customButton, ButtonFlowId::Custom},
        {ui.backlightSetButton, ButtonFlowId::Backlight},  {ui.brightnessSetButton, ButtonFlowId::Brightness},
        {ui.volumeSetButton, ButtonFlowId::Volume},        {ui.keyLockSetButton, ButtonFlowId::KeyLock},
        {ui.irLockSetButton, ButtonFlowId::IrLock},        {ui.updateButton, ButtonFlowId::Temperature},
        {ui.operatingHoursButton, ButtonFlowId::Hours},    {ui.backlightQueryButton, ButtonFlowId::BacklightQuery},
        {ui.resetButton, ButtonFlowId::Reset},             {ui.playerButton, ButtonFlowId::Player},
        {ui.mediaPlayerButton, ButtonFlowId::MediaPlayer}, {ui.opsButton, ButtonFlowId::Ops},
        {ui.infoKeyButton, ButtonFlowId::InfoKey},
    };
    for (const auto& [button, id] : buttons) {
        commandLabels_[id] = CommandLabel(*button);
        on(button, [this, id = id] { runButton(id); });
    }

    on(ui.checksumButton, [this] { computeChecksum(); });
}

}  // namespace dravik::pages
