// Status queries: temperature, operating hours, backlight and video parameters.
#pragma once

#include "protocol/selectors.h"

#include <string_view>

namespace dravik::protocol {

enum StatusKind { kStatusTemperature = 1, kStatusHours = 2, kStatusBacklightOrVideo = 3 };

// Kind 1 temperature, 2 operating hours, 3 backlight (backlight set) or video parameters
// ("BR/BKL" set). A model outside the kind's set is refused; any other kind is Silent.
Selection BuildStatusQuery(int kind, std::string_view model);

// The video-parameters pre-read of the brightness write: a frame for the 53 models that
// take it, Silent for those that skip it, Refused for the rest.
Selection BuildVideoParamsQuery(std::string_view model);

}  // namespace dravik::protocol
