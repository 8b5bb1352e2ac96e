// Expected frames as the displays log them.
#pragma once

#include "protocol/catalogue.h"
#include "protocol/frame.h"

#include "display-sim/frame_log.h"
#include "support/frames.h"

#include <chrono>
#include <string>
#include <vector>

namespace dravik::pages::testing {

using namespace std::chrono_literals;

// The frame addressed to a monitor ID, as "%02X " text without the trailing blank.
inline std::string Hex(protocol::Frame frame, int id) {
    frame.SetMonitorId(static_cast<protocol::Byte>(id));
    std::string text = frame.TxText();
    if (!text.empty()) text.pop_back();
    return text;
}

inline std::string Input(protocol::Byte source, protocol::Byte sub, int id) {
    return Hex(protocol::BuildInputSource(source, sub), id);
}

// A one-byte frame: A6 ID 00 00 00 04 01 CMD DATA CS.
inline std::string One(protocol::Byte command, protocol::Byte data, int id) {
    return Hex(protocol::Frame::Build(command, {data}), id);
}

inline std::string Bytes(protocol::Byte command, std::initializer_list<protocol::Byte> data, int id) {
    return Hex(protocol::Frame::Build(command, data), id);
}

// All frames of the logs, ordered by the time they arrived.
inline std::vector<std::string> InArrivalOrder(std::vector<std::vector<sim::LogEntry>> logs) {
    std::vector<sim::LogEntry> all;
    for (auto& log : logs) all.insert(all.end(), log.begin(), log.end());
    std::stable_sort(all.begin(), all.end(), [](const sim::LogEntry& a, const sim::LogEntry& b) { return a.time < b.time; });
    return dravik::testing::Frames(all);
}

}  // namespace dravik::pages::testing
