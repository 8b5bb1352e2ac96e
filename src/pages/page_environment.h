// What a page needs from the outside world, handed in by the main dialog (or by a test).
#pragma once

#include <QStringList>

#include <functional>

namespace dravik::transport { class Feedback; }
namespace dravik::targets { class LocalAddressLookup; }

namespace dravik::pages {

struct PageEnvironment {
    transport::Feedback* feedback = nullptr;
    // Fills the IP address box at start-up; tests always inject a fixed one.
    targets::LocalAddressLookup* localAddress = nullptr;
    // The serial devices the COM port "Search" tries; empty: the system's serial ports.
    // Tests inject their pseudo-terminal lines here.
    std::function<QStringList()> portLister;
};

}  // namespace dravik::pages
