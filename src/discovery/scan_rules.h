// Pure rules around the scan: which addresses it probes, and which reports a page keeps.
#pragma once

#include "discovery/scan_types.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::discovery {

// The address cut after its last "." ("192.168.5.77" gives "192.168.5."); nullopt when
// it holds no ".".
std::optional<std::string> ScanPrefix(std::string_view address);

// The probe targets: the prefix followed by 1 .. 254. Empty when there is no prefix.
std::vector<std::string> ScanTargets(std::string_view address);

// Strict dotted quad (four decimal fields 0..255); the value in host byte order.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

// "Lock Model": when ticked, only reports of the selected model are kept.
bool PassesLockModel(bool lockModel, std::string_view selectedModel, std::string_view reportedModel);


// Whether the page adds a row for a report.
bool ControlPageKeeps(const FoundDisplay& found, bool lockModel, std::string_view selectedModel);
bool WallPageKeeps(const FoundDisplay& found, bool lockModel, std::string_view selectedModel);

// The five cells of the row a report becomes: address, model, "Y", "0", the ID.
std::array<std::string, 5> ScanRowCells(const FoundDisplay& found);

}  // namespace dravik::discovery
