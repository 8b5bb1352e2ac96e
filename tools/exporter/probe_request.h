// A /probe request as the scrape's URL gives it: the query string and the target text, read
// into values. Pure: no Qt, no I/O, so the fuzzer reads it as it is.
//
// Target syntax:
//   LAN      ADDRESS[:PORT][@ID]   a host name or dotted IPv4 address, port 5000 unless given
//   RS-232   DEVICE@ID             an absolute device path ("/dev/ttyUSB0@3"); ID 1 unless given
// ID is the monitor ID, 1..255 (LAN: 1 unless given).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dravik::exporter {

struct ProbeTarget {
    bool serial = false;
    std::string host;            // LAN: as given (lower-cased)
    std::uint16_t port = 5000;   // LAN
    std::string device;          // RS-232: the device path
    int monitorId = 1;
    // One key per display (LAN host:port, device@id) and per line (the device).
    std::string displayKey() const;
    std::string lineKey() const;
};

// The target text read; an empty optional with `why` set when it names no display.
std::optional<ProbeTarget> ParseTarget(std::string_view text, std::string* why);

// The query string's pairs in order, percent- and plus-decoded. False (with `why`) for a
// malformed escape or a pair without a name.
bool ParseQuery(std::string_view query, std::vector<std::pair<std::string, std::string>>& pairs, std::string* why);

struct ProbeRequest {
    ProbeTarget target;
    std::string module = "default";
    std::string model;  // empty: read from the display
};

// target= (required, once), module= and model= (optional, once each); other names are
// ignored as Prometheus passes through whatever params a job sets. `why` is the one-line
// reason for a 400.
std::optional<ProbeRequest> ParseProbeRequest(std::string_view query, std::string* why);

}  // namespace dravik::exporter
