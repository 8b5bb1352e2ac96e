// Shared pieces of the discovery page tests: feedback that keeps the order of events, a
// scan network whose hosts can be held back, and bounded waits that keep the Qt event loop
// running.
#pragma once

#include "discovery/backends.h"
#include "discovery/fakes.h"
#include "protocol/reply.h"
#include "support/recording_feedback.h"
#include "support/sim_displays.h"
#include "support/waits.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace dravik::discovery_pages {

using namespace std::chrono_literals;
using protocol::Byte;
using protocol::Bytes;

// Feedback that also records messages and beeps in the order they came.
class EventFeedback final : public dravik::testing::RecordingFeedback {
public:
    void message(const QString& text) override {
        events << text;
        RecordingFeedback::message(text);
    }
    void beep() override {
        events << QStringLiteral("<beep>");
        RecordingFeedback::beep();
    }
    QStringList events;
};

using dravik::testing::StartLine;
using dravik::testing::WaitUntil;

inline sim::DisplayConfig SerialDisplay(int id, const std::string& model, bool makerPrefix = false) {
    sim::DisplayConfig c = dravik::testing::Config(model, id);
    c.makerPrefix = makerPrefix;
    return c;
}

// The IDs (byte 1) and commands (byte 7) of the frames a line heard, as "ID:CMD".
inline std::vector<std::string> Heard(const sim::SerialLine& line) {
    std::vector<std::string> out;
    for (const auto& e : line.log()) {
        const protocol::Request frame(e.bytes);
        if (!frame.command()) continue;
        char text[16];
        std::snprintf(text, sizeof text, "%d:%02X", *frame.monitorId(), *frame.command());
        out.emplace_back(text);
    }
    return out;
}

// The query frames 1..25 of a search with the given command (A2 or A1).
inline std::vector<std::string> SearchQueries(Byte command) {
    std::vector<std::string> out;
    for (int id = 1; id <= 25; ++id) {
        char text[16];
        std::snprintf(text, sizeof text, "%d:%02X", id, command);
        out.emplace_back(text);
    }
    return out;
}

// 21 ID 00 00 LEN 01 CMD text CS with a length byte chosen by the test.
inline Bytes ReplyWithLength(Byte id, Byte command, Byte length, std::string_view text) {
    Bytes r = {0x21, id, 0x00, 0x00, length, 0x01, command};
    r.insert(r.end(), text.begin(), text.end());
    r.push_back(protocol::Checksum(r));
    return r;
}

// A fake subnet for the page scans. Hosts listed in `hold` wait at their presence test
// until their scan is cancelled; `holdOnce` releases each of them after its first hold.
class ScanNet final : public discovery::PresenceProbe, public discovery::IdentityClient {
public:
    discovery::fake::FakeNetwork net;
    std::set<std::string> hold;
    bool holdOnce = false;

    discovery::Presence Test(const std::string& address, std::chrono::milliseconds timeout,
                             const discovery::StopSignal& stop) override {
        ++tests_;
        if (ShouldHold(address)) {
            ++held_;
            while (stop.SleepFor(20ms)) {
            }
            return discovery::Presence::Stopped;
        }
        return net.Test(address, timeout, stop);
    }
    std::unique_ptr<discovery::IdentitySession> Connect(const std::string& address, std::uint16_t port,
                                                        std::chrono::milliseconds timeout,
                                                        const discovery::StopSignal& stop) override {
        return net.Connect(address, port, timeout, stop);
    }

    int tests() const { return tests_.load(); }
    int held() const { return held_.load(); }

private:
    bool ShouldHold(const std::string& address) {
        std::lock_guard lock(mutex_);
        if (!hold.count(address)) return false;
        if (holdOnce) {
            if (released_.count(address)) return false;
            released_.insert(address);
        }
        return true;
    }

    std::mutex mutex_;
    std::set<std::string> released_;
    std::atomic<int> tests_{0};
    std::atomic<int> held_{0};
};

// Shortened timings: the fakes answer at once, so only the spacing and the finish delay
// matter; three monitor IDs are tried per display.
inline discovery::ScanOptions QuickScan() {
    discovery::ScanOptions o;
    o.probeSpacing = 1ms;
    o.echoTimeout = 20ms;
    o.connectTimeout = 20ms;
    o.identityTimeout = 20ms;
    o.finishDelay = 50ms;
    o.firstMonitorId = 1;
    o.lastMonitorId = 3;
    return o;
}

inline std::string Host(int n) { return "127.0.10." + std::to_string(n); }

// A display on the fake subnet answering the first identity query for `id` with `first`
// and the second query with `second` (empty: no answer).
inline void AddDisplay(ScanNet& scan, int host, int id, Bytes first, Bytes second = {}) {
    discovery::fake::DisplayScript script;
    script.first[id] = std::move(first);
    if (!second.empty()) script.second[id] = std::move(second);
    scan.net.SetPresence(Host(host), discovery::Presence::Present);
    scan.net.SetDisplay(Host(host), std::move(script));
}

}  // namespace dravik::discovery_pages
