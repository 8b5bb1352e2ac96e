// The record of every frame a simulated display (or serial line) received.
#pragma once

#include "protocol/frame.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace dravik::sim {

struct LogEntry {
    std::chrono::system_clock::time_point time;
    std::string where;          // LAN: the display's "ADDRESS:PORT"; serial: the device path
    int addressedId = -1;       // byte 1 of the frame as received, -1 when it has none
    protocol::Bytes bytes;
    std::string hex;            // "%02X " per byte, as the tool's TX box shows it
    bool checksumOk = false;    // the frame passed the checks: A6 header, length byte, XOR checksum
    std::string problem;        // why it did not, else empty
    bool answered = false;      // a reply was sent or scheduled
    int displayId = 0;          // monitor ID of the display that took it; 0: none
    std::string note;           // fault applied, or why a good frame got no answer
};

// "12:34:56.789 127.0.3.5:5000 A6 01 00 00 00 03 01 2F 8B  ok, answered by ID 1"
std::string FormatLogEntry(const LogEntry& entry);

// Thread-safe list of entries with an optional listener (called on the display thread).
class FrameLog {
public:
    using Listener = std::function<void(const LogEntry&)>;

    void add(LogEntry entry);
    std::vector<LogEntry> entries() const;
    void clear();
    void setListener(Listener listener);
    // True once at least `count` entries are in the log, false after `timeout`.
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<LogEntry> entries_;
    Listener listener_;
};

}  // namespace dravik::sim
