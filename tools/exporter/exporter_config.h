// The exporter's two YAML files: the configuration (--config.file: modules, allowed_targets)
// and the web configuration (--web.config.file, exporter-toolkit's format: TLS and basic
// auth). Reading them does no I/O beyond the file itself; an error says file, line and column.
#pragma once

#include "exporter/probe_request.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::exporter {

// The reads a module makes, in this order.
enum class Read { Identity, Temperature, OperatingTime, Backlight, Video };
std::string_view ReadName(Read read);  // "identity", "temperature", "operating_time", ...

struct Module {
    std::vector<Read> reads;
    std::chrono::milliseconds timeout{10000};
    bool has(Read read) const;
};

struct Ipv4Network {
    std::uint32_t address = 0;  // host order
    int prefix = 32;
    bool contains(std::uint32_t ipv4) const;
};

struct Config {
    std::map<std::string, Module, std::less<>> modules;  // always holds "default"
    // Empty and not given: every target is allowed.
    bool restricted = false;
    std::vector<Ipv4Network> networks;
    std::vector<std::string> devices;  // exact paths, or a prefix ending in '*'
    bool allowsDevice(std::string_view device) const;
    bool allowsAddress(std::uint32_t ipv4) const;
};

// Identity and temperature, 10 s: the configuration without a file.
Config DefaultConfig();

struct FileError {
    std::string file;
    int line = 0;    // 1-based; 0 when the error has no place (the file does not open)
    int column = 0;
    std::string message;
    std::string text() const;  // "FILE:LINE:COLUMN: MESSAGE"
};

std::optional<Config> ParseConfig(std::string_view yaml, const std::string& file, FileError* error);
std::optional<Config> LoadConfig(const std::string& path, FileError* error);

// Dotted IPv4 text -> host-order value.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

// A Prometheus duration ("10s", "1500ms", "1m30s").
std::optional<std::chrono::milliseconds> ParseDuration(std::string_view text);

struct WebConfig {
    std::string certFile;  // both set: TLS
    std::string keyFile;
    std::map<std::string, std::string, std::less<>> users;  // name -> bcrypt hash
    bool tls() const { return !certFile.empty(); }
};
// Relative certificate paths are taken from the web configuration file's folder.
std::optional<WebConfig> ParseWebConfig(std::string_view yaml, const std::string& file, FileError* error);
std::optional<WebConfig> LoadWebConfig(const std::string& path, FileError* error);

}  // namespace dravik::exporter
