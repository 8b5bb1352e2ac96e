#include "exporter/exporter_config.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>

namespace dravik::exporter {

namespace {

constexpr std::array<std::pair<Read, std::string_view>, 5> kReads{{
    {Read::Identity, "identity"},
    {Read::Temperature, "temperature"},
    {Read::OperatingTime, "operating_time"},
    {Read::Backlight, "backlight"},
    {Read::Video, "video"},
}};

// A probe longer than this is no scrape's.
constexpr std::chrono::milliseconds kMaxTimeout{5 * 60 * 1000};
constexpr std::size_t kMaxFile = 1 << 20;

struct Failure {
    YAML::Mark mark;
    std::string message;
};

[[noreturn]] void Throw(const YAML::Node& node, std::string message) { throw Failure{node.Mark(), std::move(message)}; }

std::string Scalar(const YAML::Node& node, std::string_view what) {
    if (!node.IsScalar()) Throw(node, std::string(what) + " must be a string");
    return node.Scalar();
}

void ExpectMap(const YAML::Node& node, std::string_view what) {
    if (!node.IsMap()) Throw(node, std::string(what) + " must be a mapping");
}

Module ParseModule(const YAML::Node& node) {
    Module m;
    m.reads.clear();
    if (node.IsNull()) Throw(node, "a module needs reads");
    ExpectMap(node, "a module");
    bool sawReads = false;
    for (const auto& kv : node) {
        const std::string key = Scalar(kv.first, "a key");
        if (key == "reads") {
            sawReads = true;
            if (!kv.second.IsSequence() || kv.second.size() == 0) Throw(kv.second, "reads must be a list of reads");
            std::vector<bool> seen(kReads.size(), false);
            for (const auto& item : kv.second) {
                const std::string name = Scalar(item, "a read");
                const auto it = std::find_if(kReads.begin(), kReads.end(), [&](const auto& r) { return r.second == name; });
                if (it == kReads.end())
                    Throw(item, "unknown read '" + name + "' (identity, temperature, operating_time, backlight, video)");
                const auto index = static_cast<std::size_t>(it - kReads.begin());
                if (seen[index]) Throw(item, "read '" + name + "' given twice");
                seen[index] = true;
            }
            for (std::size_t i = 0; i < kReads.size(); ++i)
                if (seen[i]) m.reads.push_back(kReads[i].first);
        } else if (key == "timeout") {
            const auto d = ParseDuration(Scalar(kv.second, "timeout"));
            if (!d || *d <= std::chrono::milliseconds(0) || *d > kMaxTimeout)
                Throw(kv.second, "timeout must be a duration above 0 and at most 5m (e.g. 10s)");
            m.timeout = *d;
        } else {
            Throw(kv.first, "unknown module field '" + key + "'");
        }
    }
    if (!sawReads) Throw(node, "a module needs reads");
    return m;
}

bool ValidModuleName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

void ParseAllowed(const YAML::Node& node, Config& c) {
    c.restricted = true;
    if (node.IsNull()) return;  // given and empty: nothing is allowed
    if (!node.IsSequence()) Throw(node, "allowed_targets must be a list of networks and devices");
    for (const auto& item : node) {
        const std::string text = Scalar(item, "an allowed target");
        if (!text.empty() && text.front() == '/') {
            if (text.rfind("/dev/", 0) != 0) Throw(item, "an allowed device must be under /dev/");
            c.devices.push_back(text);
            continue;
        }
        const auto slash = text.find('/');
        Ipv4Network n;
        const auto address = ParseIpv4(std::string_view(text).substr(0, slash));
        if (!address) Throw(item, "'" + text + "' is neither an IPv4 network (a.b.c.d/n) nor a device path");
        n.address = *address;
        if (slash != std::string::npos) {
            const std::string p = text.substr(slash + 1);
            if (p.empty() || p.size() > 2 || !std::all_of(p.begin(), p.end(), ::isdigit) || std::stoi(p) > 32)
                Throw(item, "network prefix must be 0..32");
            n.prefix = std::stoi(p);
        }
        c.networks.push_back(n);
    }
}

template <typename T, typename F>
std::optional<T> Guarded(std::string_view yaml, const std::string& file, FileError* error, F&& parse) {
    const auto fail = [&](int line, int column, std::string message) -> std::optional<T> {
        if (error) *error = FileError{file, line, column, std::move(message)};
        return std::nullopt;
    };
    if (yaml.size() > kMaxFile) return fail(0, 0, "file larger than 1 MiB");
    try {
        const YAML::Node root = YAML::Load(std::string(yaml));
        return parse(root);
    } catch (const Failure& f) {
        return fail(f.mark.line + 1, f.mark.column + 1, f.message);
    } catch (const YAML::Exception& e) {
        return fail(e.mark.line + 1, e.mark.column + 1, e.msg);
    }
}

std::optional<std::string> ReadFile(const std::string& path, FileError* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = FileError{path, 0, 0, "cannot open the file"};
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string_view ReadName(Read read) {
    for (const auto& [r, name] : kReads)
        if (r == read) return name;
    return "unknown";
}

bool Module::has(Read read) const { return std::find(reads.begin(), reads.end(), read) != reads.end(); }

bool Ipv4Network::contains(std::uint32_t ipv4) const {
    if (prefix <= 0) return true;
    const std::uint32_t mask = prefix >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefix)) - 1);
    return (ipv4 & mask) == (address & mask);
}

bool Config::allowsDevice(std::string_view device) const {
    if (!restricted) return true;
    return std::any_of(devices.begin(), devices.end(), [&](const std::string& d) {
        if (!d.empty() && d.back() == '*') return device.substr(0, d.size() - 1) == std::string_view(d).substr(0, d.size() - 1);
        return device == d;
    });
}

bool Config::allowsAddress(std::uint32_t ipv4) const {
    if (!restricted) return true;
    return std::any_of(networks.begin(), networks.end(), [&](const Ipv4Network& n) { return n.contains(ipv4); });
}

Config DefaultConfig() {
    Config c;
    c.modules["default"] = Module{{Read::Identity, Read::Temperature}, std::chrono::milliseconds(10000)};
    return c;
}

std::string FileError::text() const {
    if (line <= 0) return file + ": " + message;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
    std::uint32_t value = 0;
    int parts = 0;
    std::size_t i = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        unsigned part = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
            part = part * 10 + static_cast<unsigned>(text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || part > 255) return std::nullopt;
        value = (value << 8) | part;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.') return std::nullopt;
            ++i;
        }
    }
    if (i != text.size()) return std::nullopt;
    return value;
}

std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text) {
    if (text.empty() || text.size() > 32) return std::nullopt;
    long long total = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        long long n = 0;
        std::size_t digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            if (++digits > 9) return std::nullopt;
            n = n * 10 + (text[i] - '0');
            ++i;
        }
        if (digits == 0) return std::nullopt;
        long long unit = 0;
        if (text.substr(i, 2) == "ms") {
            unit = 1;
            i += 2;
        } else if (i < text.size()) {
            switch (text[i]) {
                case 's': unit = 1000; break;
                case 'm': unit = 60 * 1000; break;
                case 'h': unit = 3600 * 1000; break;
                default: return std::nullopt;
            }
            ++i;
        } else {
            return std::nullopt;
        }
        total += n * unit;
        if (total > 24LL * 3600 * 1000) return std::nullopt;
    }
    return std::chrono::milliseconds(total);
}

std::optional<Config> ParseConfig(std::string_view yaml, const std::string& file, FileError* error) {
    return Guarded<Config>(yaml, file, error, [](const YAML::Node& root) {
        Config c = DefaultConfig();
        if (root.IsNull()) return c;
        ExpectMap(root, "the configuration");
        for (const auto& kv : root) {
            const std::string key = Scalar(kv.first, "a key");
            if (key == "modules") {
                if (kv.second.IsNull()) continue;
                ExpectMap(kv.second, "modules");
                for (const auto& m : kv.second) {
                    const std::string name = Scalar(m.first, "a module name");
                    if (!ValidModuleName(name)) Throw(m.first, "module names are letters, digits, '_' and '-'");
                    c.modules[name] = ParseModule(m.second);
                }
            } else if (key == "allowed_targets") {
                ParseAllowed(kv.second, c);
            } else {
                Throw(kv.first, "unknown field '" + key + "' (modules, allowed_targets)");
            }
        }
        return c;
    });
}

std::optional<Config> LoadConfig(const std::string& path, FileError* error) {
    const auto text = ReadFile(path, error);
    if (!text) return std::nullopt;
    return ParseConfig(*text, path, error);
}

std::optional<WebConfig> ParseWebConfig(std::string_view yaml, const std::string& file, FileError* error) {
    const std::string folder = file.find('/') == std::string::npos ? std::string() : file.substr(0, file.rfind('/') + 1);
    return Guarded<WebConfig>(yaml, file, error, [&](const YAML::Node& root) {
        WebConfig w;
        if (root.IsNull()) return w;
        ExpectMap(root, "the web configuration");
        for (const auto& kv : root) {
            const std::string key = Scalar(kv.first, "a key");
            if (key == "tls_server_config") {
                if (kv.second.IsNull()) continue;
                ExpectMap(kv.second, "tls_server_config");
                for (const auto& t : kv.second) {
                    const std::string k = Scalar(t.first, "a key");
                    const std::string v = Scalar(t.second, k);
                    const std::string path = !v.empty() && v.front() != '/' ? folder + v : v;
                    if (k == "cert_file") {
                        w.certFile = path;
                    } else if (k == "key_file") {
                        w.keyFile = path;
                    } else {
                        // Refused rather than ignored: a client-certificate rule that is not
                        // applied would leave the endpoint more open than its owner thinks.
                        Throw(t.first, "tls_server_config field '" + k + "' is not supported (cert_file, key_file)");
                    }
                }
                if (w.certFile.empty() != w.keyFile.empty()) Throw(kv.second, "cert_file and key_file go together");
            } else if (key == "basic_auth_users") {
                if (kv.second.IsNull()) continue;
                ExpectMap(kv.second, "basic_auth_users");
                for (const auto& u : kv.second) {
                    const std::string name = Scalar(u.first, "a user name");
                    const std::string hash = Scalar(u.second, "a password hash");
                    if (name.empty() || name.find(':') != std::string::npos) Throw(u.first, "malformed user name");
                    if (!(hash.rfind("$2y$", 0) == 0 || hash.rfind("$2b$", 0) == 0 || hash.rfind("$2a$", 0) == 0) ||
                        hash.size() != 60)
                        Throw(u.second, "password of '" + name + "' must be a bcrypt hash ($2y$...)");
                    w.users[name] = hash;
                }
            } else if (key == "http_server_config") {
                Throw(kv.first, "http_server_config is not supported");
            } else {
                Throw(kv.first, "unknown field '" + key + "' (tls_server_config, basic_auth_users)");
            }
        }
        return w;
    });
}

std::optional<WebConfig> LoadWebConfig(const std::string& path, FileError* error) {
    const auto text = ReadFile(path, error);
    if (!text) return std::nullopt;
    return ParseWebConfig(*text, path, error);
}

}  // namespace dravik::exporter
