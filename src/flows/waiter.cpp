#include "flows/waiter.h"

#include <thread>

namespace dravik::flows {

void WaitFor(std::chrono::milliseconds ms) {
    if (ms.count() <= 0) return;
    const auto deadline = std::chrono::steady_clock::now() + ms;
    // sleep_until may wake early on a signal; it is asked again until the deadline.
    while (std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_until(deadline);
}

}  // namespace dravik::flows
