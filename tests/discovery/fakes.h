// Injected presence and identity answers for the scan tests: no sockets.
#pragma once

#include "discovery/backends.h"
#include "discovery/probe.h"
#include "protocol/frame.h"

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::discovery {

// Readable failure messages.
inline void PrintTo(const FoundDisplay& f, std::ostream* os) {
    *os << "{" << f.address << ", \"" << f.model << "\", " << f.monitorId << "}";
}
inline void PrintTo(const IdentityAnswer& a, std::ostream* os) { *os << "{\"" << a.model << "\", " << a.monitorId << "}"; }

}  // namespace dravik::discovery

namespace dravik::discovery::fake {

using protocol::Byte;
using protocol::Bytes;

// 21 ID 00 00 LEN 01 CMD text... CS, LEN counting the bytes after it.
inline Bytes TextReply(Byte id, Byte command, std::string_view text) {
    Bytes r = {0x21, id, 0x00, 0x00, static_cast<Byte>(text.size() + 3), 0x01, command};
    r.insert(r.end(), text.begin(), text.end());
    r.push_back(protocol::Checksum(r));
    return r;
}

// A short reply: byte 4 = 4.
inline Bytes ShortReply(Byte id) {
    Bytes r = {0x21, id, 0x00, 0x00, 0x04, 0x01, 0xA2, 0x00};
    r.push_back(protocol::Checksum(r));
    return r;
}

// Answers per monitor ID for the first (A2 01) and second (A1 00) query; no entry: nothing.
struct DisplayScript {
    std::map<int, Bytes> first;
    std::map<int, Bytes> second;
};

struct Asked {
    int id;
    Byte command;  // 0xA2 first query, 0xA1 second
    bool operator==(const Asked&) const = default;
};

class ScriptedSession final : public IdentitySession {
public:
    explicit ScriptedSession(DisplayScript script, std::vector<Asked>* log = nullptr)
        : script_(std::move(script)), log_(log) {}

    Bytes Exchange(const protocol::Frame& query, std::chrono::milliseconds, const StopSignal&) override {
        const int id = query[1];
        const Byte command = query[7];
        if (log_) log_->push_back({id, command});
        const auto& table = command == 0xA2 ? script_.first : script_.second;
        const auto it = table.find(id);
        return it == table.end() ? Bytes{} : it->second;
    }

private:
    DisplayScript script_;
    std::vector<Asked>* log_;
};

// Presence and identity of a whole fake subnet, keyed by address. Thread-safe.
class FakeNetwork final : public PresenceProbe, public IdentityClient {
public:
    void SetPresence(const std::string& address, Presence p) { presence_[address] = p; }
    void SetDisplay(const std::string& address, DisplayScript script) { displays_[address] = std::move(script); }
    // Presence of every address without an entry.
    void SetDefault(Presence p) { default_ = p; }
    // Every presence test waits until the scan is stopped, as a probe whose echo never comes.
    void SetHangUntilStopped(bool hang) { hang_ = hang; }
    // Called (on the probe thread) at each presence test.
    void SetOnTest(std::function<void(const std::string&)> onTest) { onTest_ = std::move(onTest); }

    int tests() const { return tests_.load(); }

    Presence Test(const std::string& address, std::chrono::milliseconds, const StopSignal& stop) override {
        ++tests_;
        if (onTest_) onTest_(address);
        if (hang_) {
            while (stop.SleepFor(std::chrono::milliseconds(1000))) {
            }
            return Presence::Stopped;
        }
        const auto it = presence_.find(address);
        return it == presence_.end() ? default_ : it->second;
    }

    std::unique_ptr<IdentitySession> Connect(const std::string& address, std::uint16_t, std::chrono::milliseconds,
                                             const StopSignal&) override {
        const auto it = displays_.find(address);
        if (it == displays_.end()) return nullptr;
        return std::make_unique<ScriptedSession>(it->second);
    }

private:
    // Filled before the scan starts and only read by the probes.
    std::map<std::string, Presence> presence_;
    std::map<std::string, DisplayScript> displays_;
    Presence default_ = Presence::Absent;
    bool hang_ = false;
    std::function<void(const std::string&)> onTest_;
    std::atomic<int> tests_{0};
};

}  // namespace dravik::discovery::fake
