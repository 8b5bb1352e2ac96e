#include "discovery/scan_rules.h"

#include "protocol/wall.h"

#include <algorithm>

namespace dravik::discovery {

std::optional<std::string> ScanPrefix(std::string_view address) {
    const auto dot = address.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    return std::string(address.substr(0, dot + 1));
}

std::vector<std::string> ScanTargets(std::string_view address) {
    std::vector<std::string> targets;
    const auto prefix = ScanPrefix(address);
    if (!prefix) return targets;
    targets.reserve(kLastHost - kFirstHost + 1);
    for (int host = kFirstHost; host <= kLastHost; ++host) targets.push_back(*prefix + std::to_string(host));
    return targets;
}

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
    std::uint32_t value = 0;
    for (int field = 0; field < 4; ++field) {
        if (field > 0) {
            if (text.empty() || text.front() != '.') return std::nullopt;
            text.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned part = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
            part = part * 10 + static_cast<unsigned>(text[digits] - '0');
            if (++digits > 3) return std::nullopt;
        }
        if (digits == 0 || part > 255) return std::nullopt;
        text.remove_prefix(digits);
        value = (value << 8) | part;
    }
    if (!text.empty()) return std::nullopt;
    return value;
}

bool PassesLockModel(bool lockModel, std::string_view selectedModel, std::string_view reportedModel) {
    return !lockModel || reportedModel == selectedModel;
}

bool ControlPageKeeps(const FoundDisplay& found, bool lockModel, std::string_view selectedModel) {
    return PassesLockModel(lockModel, selectedModel, found.model);
}

bool WallPageKeeps(const FoundDisplay& found, bool lockModel, std::string_view selectedModel) {
    return PassesLockModel(lockModel, selectedModel, found.model) && protocol::IsWallScanModel(found.model);
}

std::array<std::string, 5> ScanRowCells(const FoundDisplay& found) {
    return {found.address, found.model, "Y", "0", std::to_string(found.monitorId)};
}

}  // namespace dravik::discovery
