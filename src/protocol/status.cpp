#include "protocol/status.h"

#include "protocol/catalogue.h"
#include "protocol/models.h"

namespace dravik::protocol {

namespace {
Selection Refused() { return {Outcome::Refused, {}}; }
}  // namespace

Selection BuildStatusQuery(int kind, std::string_view model) {
    switch (kind) {
        case kStatusTemperature:
            if (Contains(sets::kTemperature, model)) return {Outcome::Frame, BuildTemperatureQueryFrame()};
            return Refused();
        case kStatusHours:
            if (Contains(sets::kHours, model)) return {Outcome::Frame, BuildHoursQueryFrame()};
            return Refused();
        case kStatusBacklightOrVideo:
            if (Contains(sets::kBacklight, model)) return {Outcome::Frame, BuildBacklightQueryFrame()};
            if (Contains(sets::kVideoParamsOnDemand, model)) return {Outcome::Frame, BuildVideoParamsQueryFrame()};
            return Refused();
        default: return {Outcome::Silent, {}};
    }
}

Selection BuildVideoParamsQuery(std::string_view model) {
    if (Contains(sets::kVideoParamsPreRead, model)) return {Outcome::Frame, BuildVideoParamsQueryFrame()};
    if (Contains(sets::kVideoParamsPreReadSilent, model)) return {Outcome::Silent, {}};
    return Refused();
}

}  // namespace dravik::protocol
