// Which frame a model gets for a display command: a frame, a refusal or nothing.
#pragma once

#include "protocol/frame.h"
#include "protocol/values.h"

#include <string>
#include <string_view>

namespace dravik::protocol {

enum class Command {
    Hdmi1,
    Hdmi2,
    DisplayPort,
    Dvi,
    Vga,
    Usb,
    Cms,
    Custom,
    Off,
    Backlight,
    BrightnessQuery,  // the video-parameters pre-read of the brightness "Set"
    BrightnessSet,    // the set frame that follows it
    Volume,
    KeyLock,
    IrLock,
    Reset,
    MediaPlayer,
    Ops,
    Info,
};

// Refused: the caller shows RefusalText(model) and skips the target.
// Silent: the caller skips the target without a word.
enum class Outcome { Frame, Refused, Silent };

struct Selection {
    Outcome outcome = Outcome::Refused;
    Frame frame;  // filled only for Outcome::Frame

    bool ok() const { return outcome == Outcome::Frame; }
};

// Looks the model up for the command and, on a frame outcome, runs its builder with the
// display values (the even brightness form stores its even value back into `values`).
Selection Select(Command command, std::string_view model, DisplayValues& values);

// The refusal of a command a model lacks: the model name (may be empty) and the fixed text.
std::string RefusalText(std::string_view model);

}  // namespace dravik::protocol
