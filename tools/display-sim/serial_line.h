// Simulated displays on one RS-232 line: a pseudo-terminal whose other end the tool opens
// as its serial port. Every display hears every frame; each answers only frames that
// carry its own monitor ID in byte 1, as on a real multi-drop line.
#pragma once

#include "display-sim/display.h"
#include "display-sim/frame_log.h"

#include "display-sim/io_util.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace dravik::sim {

class SerialLine {
public:
    explicit SerialLine(std::vector<DisplayConfig> displays);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Opens the pseudo-terminal pair (raw mode) and starts the thread. False with a reason.
    bool start(std::string* error = nullptr);
    // Joins the thread and closes both ends. Safe to call twice.
    void stop();
    bool running() const { return thread_.joinable(); }

    // The device the tool opens, e.g. "/dev/pts/7"; empty before start().
    const std::string& devicePath() const { return path_; }

    std::size_t displayCount() const { return displays_.size(); }
    Display& displayAt(std::size_t index) { return *displays_.at(index); }
    // The first display with this monitor ID, or nullptr.
    Display* display(int monitorId);

    std::vector<LogEntry> log() const { return log_.entries(); }
    void clearLog() { log_.clear(); }
    bool waitForLog(std::size_t count, std::chrono::milliseconds timeout) const { return log_.waitFor(count, timeout); }
    void setLogListener(FrameLog::Listener listener) { log_.setListener(std::move(listener)); }

private:
    void run();
    void closeAll();

    std::vector<std::unique_ptr<Display>> displays_;
    FrameLog log_;
    std::string path_;
    int master_ = -1;
    // Held open so that the line does not hang up while the tool has its end closed.
    int slave_ = -1;
    detail::WakePipe wake_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace dravik::sim
