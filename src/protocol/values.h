// A display's values that the command builders read and that reply decoding writes: the
// levels and locks to set, and the readings a query brings back.
#pragma once

#include <array>

namespace dravik::protocol {

struct DisplayValues {
    int backlight = 50;
    int brightness = 50;
    int volume = 30;
    bool keyLock = false;
    bool irLock = false;
    std::array<int, 6> video{};  // video parameters 2..7 as signed values
    int temperature = 0;
    int hours = 0;

    bool operator==(const DisplayValues&) const = default;
};

}  // namespace dravik::protocol
