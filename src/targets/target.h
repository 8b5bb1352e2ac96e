// One display the tool addresses: where it is (an address on the LAN, or a monitor ID on
// the RS-232 line), its model and the texts a list row keeps for it. Pages, list files and
// dravikctl all hold these; the target table only shows them.
#pragma once

#include <string>

namespace dravik::targets {

enum class Interface { Lan, Serial };

struct Target {
    Interface interface = Interface::Lan;
    std::string address;  // LAN: dotted IPv4 text or a host name; RS-232: unused
    std::string model;    // whole, case-sensitive model name
    std::string id;       // monitor ID text as a list row holds it ("1".."25", may be anything)
    std::string pos;      // wall position text ("1".."25"); empty outside a wall
    std::string device;   // RS-232: the line's device path, where it is known

    bool serial() const { return interface == Interface::Serial; }
    // The address, or "ID n" on an RS-232 line.
    std::string label() const { return serial() ? "ID " + id : address; }

    bool operator==(const Target&) const = default;
};

}  // namespace dravik::targets
