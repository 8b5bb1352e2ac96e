#include "dravikctl/outcome.h"

#include "protocol/catalogue.h"

#include <algorithm>

namespace dravik::ctl {

using flows::Outcome;

int ExitStatusFor(std::span<const Outcome> outcomes) {
    if (std::all_of(outcomes.begin(), outcomes.end(), flows::Succeeded)) return kExitOk;
    if (!outcomes.empty() && std::all_of(outcomes.begin(), outcomes.end(), flows::Unreachable)) return kExitNothingReached;
    return kExitFailed;
}

}  // namespace dravik::ctl
