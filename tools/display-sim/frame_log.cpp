#include "display-sim/frame_log.h"

#include <cstdio>
#include <ctime>

namespace dravik::sim {

std::string FormatLogEntry(const LogEntry& entry) {
    const auto t = std::chrono::system_clock::to_time_t(entry.time);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(entry.time.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&t, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms));

    std::string line = std::string(stamp) + " " + entry.where + " " + entry.hex + " ";
    if (!entry.checksumOk) {
        line += "BAD (" + entry.problem + ")";
    } else if (entry.answered) {
        line += "ok, answered by ID " + std::to_string(entry.displayId);
    } else {
        line += "ok, not answered";
    }
    if (!entry.note.empty()) line += " [" + entry.note + "]";
    return line;
}

void FrameLog::add(LogEntry entry) {
    Listener listener;
    {
        std::lock_guard lock(mutex_);
        entries_.push_back(entry);
        listener = listener_;
    }
    changed_.notify_all();
    if (listener) listener(entry);
}

std::vector<LogEntry> FrameLog::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

void FrameLog::clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
}

void FrameLog::setListener(Listener listener) {
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

bool FrameLog::waitFor(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return entries_.size() >= count; });
}

}  // namespace dravik::sim
