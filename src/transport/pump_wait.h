// The message-pumping wait. The only place where sleeping and event processing mix.
#pragma once

namespace dravik::transport {

// ms/10 steps of a 10 ms sleep, each followed by processing the pending events; the window
// stays responsive meanwhile. Below 10 ms nothing happens.
void PumpWait(int ms);

}  // namespace dravik::transport
