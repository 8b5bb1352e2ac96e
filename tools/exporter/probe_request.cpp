#include "exporter/probe_request.h"

#include <algorithm>
#include <cctype>

namespace dravik::exporter {

namespace {

// Longest host name DNS allows.
constexpr std::size_t kMaxHost = 253;
constexpr std::size_t kMaxDevice = 255;

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Decode(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= in.size()) return false;
            const int hi = HexValue(in[i + 1]);
            const int lo = HexValue(in[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
}

// Decimal digits only, within [lo, hi].
std::optional<long> Number(std::string_view text, long lo, long hi) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

bool HostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool DeviceChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '-' || c == '_' || c == '.';
}

bool Fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

}  // namespace

std::string ProbeTarget::displayKey() const {
    return serial ? device + "@" + std::to_string(monitorId) : host + ":" + std::to_string(port);
}

std::string ProbeTarget::lineKey() const { return serial ? device : displayKey(); }

std::optional<ProbeTarget> ParseTarget(std::string_view text, std::string* why) {
    ProbeTarget t;
    std::string_view rest = text;
    if (rest.empty()) {
        Fail(why, "empty target");
        return std::nullopt;
    }
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        const auto id = Number(rest.substr(at + 1), 1, 255);
        if (!id) {
            Fail(why, "monitor ID must be 1..255");
            return std::nullopt;
        }
        t.monitorId = static_cast<int>(*id);
        rest = rest.substr(0, at);
    }
    if (!rest.empty() && rest.front() == '/') {
        t.serial = true;
        if (rest.size() > kMaxDevice || !std::all_of(rest.begin(), rest.end(), DeviceChar) ||
            rest.find("/../") != std::string_view::npos || rest.find("/./") != std::string_view::npos ||
            rest.back() == '/' || (rest.size() >= 3 && rest.substr(rest.size() - 3) == "/.."))
        {
            Fail(why, "malformed device path");
            return std::nullopt;
        }
        if (rest.substr(0, 5) != "/dev/") {
            Fail(why, "a serial line must be a device under /dev/");
            return std::nullopt;
        }
        t.device = std::string(rest);
        return t;
    }
    if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
        const auto port = Number(rest.substr(colon + 1), 1, 65535);
        if (!port) {
            Fail(why, "port must be 1..65535");
            return std::nullopt;
        }
        t.port = static_cast<std::uint16_t>(*port);
        rest = rest.substr(0, colon);
    }
    if (rest.empty() || rest.size() > kMaxHost || !std::all_of(rest.begin(), rest.end(), HostChar) ||
        rest.front() == '.' || rest.front() == '-')
    {
        Fail(why, "malformed host");
        return std::nullopt;
    }
    t.host.reserve(rest.size());
    for (char c : rest) t.host += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return t;
}

bool ParseQuery(std::string_view query, std::vector<std::pair<std::string, std::string>>& pairs, std::string* why) {
    pairs.clear();
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string_view part = query.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        const std::size_t eq = part.find('=');
        std::string name, value;
        if (!Decode(part.substr(0, eq), name) ||
            (eq != std::string_view::npos && !Decode(part.substr(eq + 1), value)))
            return Fail(why, "malformed percent escape in the query");
        if (name.empty()) return Fail(why, "query parameter without a name");
        pairs.emplace_back(std::move(name), std::move(value));
    }
    return true;
}

std::optional<ProbeRequest> ParseProbeRequest(std::string_view query, std::string* why) {
    std::vector<std::pair<std::string, std::string>> pairs;
    if (!ParseQuery(query, pairs, why)) return std::nullopt;
    ProbeRequest r;
    bool haveTarget = false, haveModule = false, haveModel = false;
    for (const auto& [name, value] : pairs) {
        bool* seen = name == "target" ? &haveTarget : name == "module" ? &haveModule : name == "model" ? &haveModel : nullptr;
        if (!seen) continue;
        if (*seen) {
            Fail(why, "parameter '" + name + "' given twice");
            return std::nullopt;
        }
        *seen = true;
        if (name == "target") {
            std::string reason;
            auto t = ParseTarget(value, &reason);
            if (!t) {
                Fail(why, "target: " + reason);
                return std::nullopt;
            }
            r.target = std::move(*t);
        } else if (name == "module") {
            if (value.empty()) {
                Fail(why, "module is empty");
                return std::nullopt;
            }
            r.module = value;
        } else {
            if (value.empty() || value.size() > 64 ||
                !std::all_of(value.begin(), value.end(), [](char c) { return c > 0x20 && c < 0x7f; })) {
                Fail(why, "malformed model");
                return std::nullopt;
            }
            r.model = value;
        }
    }
    if (!haveTarget) {
        Fail(why, "target parameter is missing");
        return std::nullopt;
    }
    return r;
}

}  // namespace dravik::exporter
