// The frame trace: one line per frame sent or received, through logging categories so that
// QT_LOGGING_RULES switches each area ("dravik.lan.info=true"), and optionally into a file.
#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <span>

Q_DECLARE_LOGGING_CATEGORY(lcDravikLan)
Q_DECLARE_LOGGING_CATEGORY(lcDravikSerial)
Q_DECLARE_LOGGING_CATEGORY(lcDravikScan)
Q_DECLARE_LOGGING_CATEGORY(lcDravikFlow)

namespace dravik::transport {

enum class TraceChannel { Lan, Serial, Scan, Flow };
enum class Direction { Tx, Rx };

inline constexpr qint64 kDefaultTraceFileLimit = 10 * 1024 * 1024;

const QLoggingCategory& TraceCategory(TraceChannel channel);

// Milliseconds on the monotonic clock since the trace clock started (at the first trace
// call, or StartTraceClock()).
double TraceClockMs();
void StartTraceClock();

// "12.345 tx 127.0.0.2:5000 A6 01 00 00 00 03 01 18 BD sent": time, direction, target,
// the bytes in hex ("-" for none) and the outcome.
QString FormatTraceFrame(double ms, Direction direction, const QString& target,
                         std::span<const std::uint8_t> bytes, const QString& outcome);

// One frame, logged at info level in the channel's category.
void TraceFrame(TraceChannel channel, Direction direction, const QString& target,
                std::span<const std::uint8_t> bytes, const QString& outcome);
void TraceFrame(TraceChannel channel, Direction direction, const QString& target,
                const QByteArray& bytes, const QString& outcome);

// A note that is not a frame (a settings file ignored, ...), logged as a warning.
void TraceWarning(TraceChannel channel, const QString& text);

// From now on every message of a dravik.* category is also appended to `path`, one line
// each, flushed per line; when the file would grow past `maxBytes` it is renamed to
// path + ".1" (replacing that) and a new one begun. Turns the frame lines on unless
// QT_LOGGING_RULES says otherwise. Frame lines then go to the file only; warnings go to
// stderr as well. False (and nothing installed) when the file cannot be opened.
bool InstallTraceFile(const QString& path, qint64 maxBytes = kDefaultTraceFileLimit);
// Closes the file and restores the previous message handler.
void RemoveTraceFile();

}  // namespace dravik::transport
