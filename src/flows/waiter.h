// Waits of the flows: to a deadline on the monotonic clock, never a count of short sleeps,
// so a flow's wall time is its waits plus the exchanges themselves.
#pragma once

#include <chrono>

namespace dravik::flows {

void WaitFor(std::chrono::milliseconds ms);

}  // namespace dravik::flows
