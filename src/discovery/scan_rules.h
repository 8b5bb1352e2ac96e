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

// Texts the pages show for the scan.
inline constexpr std::string_view kConnectingText = "Connecting...";
inline constexpr std::string_view kScanErrorText = " SCAN ERROR ! ";
inline constexpr std::string_view kScanFinishedText = "Scan Finished";
inline constexpr std::string_view kLanErrorText = " LAN ERROR !! ";

// The address cut after its last "." ("192.168.5.77" gives "192.168.5."); nullopt when
// it holds no ".".
std::optional<std::string> ScanPrefix(std::string_view address);

// The probe targets: the prefix followed by 1 .. 254. Empty when there is no prefix.
std::vector<std::string> ScanTargets(std::string_view address);

// Strict dotted quad (four decimal fields 0..255); the value in host byte order.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

// "Lock Model": when ticked, only reports of the selected model are kept.
bool PassesLockModel(bool lockModel, std::string_view selectedModel, std::string_view reportedModel);

// The models the "Tilvane" page lists from a scan.
inline constexpr std::array<std::string_view, 21> kWallScanModels = {
    "KC-55D3", "KC55-D3", "KC-55D",    "KC-55H",    "KA-42",   "KA-49",   "KA-55",
    "KB-65",   "KB-65P",  "KC-46D",    "KW-55D",    "KW-55H",  "KC-55D2", "KC-55H2",
    "KCV-5501D", "KCV-5501H", "KA-43Q", "KA-55Q", "KA-65Q", "KA-75Q", "KA-86Q",
};
bool IsWallScanModel(std::string_view model);

// Whether the page adds a row for a report.
bool ControlPageKeeps(const FoundDisplay& found, bool lockModel, std::string_view selectedModel);
bool WallPageKeeps(const FoundDisplay& found, bool lockModel, std::string_view selectedModel);

// The five cells of the row a report becomes: address, model, "Y", "0", the ID.
std::array<std::string, 5> ScanRowCells(const FoundDisplay& found);

}  // namespace dravik::discovery
