// A simulated display on the LAN: listens on ADDRESS:PORT and answers frames on its own
// thread (poll + POSIX sockets), so a caller whose thread blocks in an exchange still
// gets its answer.
#pragma once

#include "display-sim/display.h"
#include "display-sim/frame_log.h"
#include "display-sim/frame_reader.h"
#include "display-sim/io_util.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace dravik::sim {

inline constexpr std::uint16_t kDisplayPort = 5000;

// Dotted IPv4 address inside 127.0.0.0/8.
bool IsLoopbackAddress(std::string_view address);

class LanDisplay {
public:
    explicit LanDisplay(std::string address, DisplayConfig config = {}, std::uint16_t port = kDisplayPort);
    ~LanDisplay();
    LanDisplay(const LanDisplay&) = delete;
    LanDisplay& operator=(const LanDisplay&) = delete;

    // Addresses outside 127.0.0.0/8 are refused unless allowed (a real bench). Call before start().
    void setAllowAnyAddress(bool allow) { allowAnyAddress_ = allow; }

    // Binds (SO_REUSEADDR), listens and starts the thread. False with a reason on failure.
    bool start(std::string* error = nullptr);
    // Closes every connection and joins the thread. Safe to call twice.
    void stop();
    bool running() const { return thread_.joinable(); }

    const std::string& address() const { return address_; }
    std::uint16_t port() const { return port_; }   // the bound port (port 0 asks for any)
    std::string endpoint() const;                  // "ADDRESS:PORT"

    Display& display() { return display_; }
    const Display& display() const { return display_; }

    std::vector<LogEntry> log() const { return log_.entries(); }
    void clearLog() { log_.clear(); }
    bool waitForLog(std::size_t count, std::chrono::milliseconds timeout) const { return log_.waitFor(count, timeout); }
    void setLogListener(FrameLog::Listener listener) { log_.setListener(std::move(listener)); }

    DisplayState state() const { return display_.state(); }
    void setState(const DisplayState& state) { display_.setState(state); }
    void setFault(Fault fault, int lateMs = 0) { display_.setFault(fault, lateMs); }
    void setTemperature(int celsius) { display_.setTemperature(celsius); }

private:
    struct Connection;
    void run();
    void handleFrame(Connection& c, ReceivedFrame frame);

    std::string address_;
    std::uint16_t port_;
    bool allowAnyAddress_ = false;
    Display display_;
    FrameLog log_;
    int listenFd_ = -1;
    detail::WakePipe wake_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace dravik::sim
