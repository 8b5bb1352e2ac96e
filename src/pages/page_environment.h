// What a page needs from the outside world, handed in by the main dialog (or by a test).
#pragma once

#include "discovery/backends.h"
#include "discovery/scan_types.h"

#include <QStringList>

#include <functional>
#include <optional>

namespace dravik::ui { class Feedback; }
namespace dravik::targets { class LocalAddressLookup; }

namespace dravik::pages {

struct PageEnvironment {
    ui::Feedback* feedback = nullptr;
    // Fills the IP address box at start-up; tests always inject a fixed one.
    targets::LocalAddressLookup* localAddress = nullptr;
    // The serial devices the COM port "Search" tries; empty: the system's serial ports.
    // Tests inject their pseudo-terminal lines here.
    std::function<QStringList()> portLister;
    // The ports the application found once at start-up, shown by both pages' port boxes (so
    // the serial devices are enumerated and tried once, not once per page); none: each page
    // searches itself.
    std::optional<QStringList> startupPorts;
    // Set: the page neither searches nor shows ports when it is built; the application fills
    // its port box itself right after the window's first paint (the search takes longer
    // than building the window).
    bool portsLater = false;
    // What "IP Scan" probes the subnet with; asked at a page's first scan. The application
    // hands in the system's sockets; without it a scan only reports " SCAN ERROR ! ", so a
    // page built elsewhere can never send a probe. Tests inject fakes.
    std::function<discovery::ScanBackends()> scanBackends;
    // Timings and ranges of the scan; tests shorten them.
    discovery::ScanOptions scanOptions;
};

}  // namespace dravik::pages
