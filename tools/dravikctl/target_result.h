// What dravikctl knows of one display: the target as the command line or a list file names
// it (its texts in UTF-8), and what became of it (the flow's RowResult, with the frames and
// replies in the order they went over the wire, the LINK mark and what the window would
// have shown in boxes).
#pragma once

#include "flows/run.h"
#include "protocol/frame.h"
#include "targets/target.h"

#include <QString>
#include <QStringList>

#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace dravik::ctl {

// Standard output and standard error, shared by the threads of a parallel run: each write
// is one whole line or block.
class Console {
public:
    Console(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}
    void write(const std::string& text);
    void error(const std::string& line);

private:
    std::mutex mutex_;
    std::ostream& out_;
    std::ostream& err_;
};

// The frames and replies in wire order, and how far a display got: the run API's own.
using ExchangeEvent = flows::ExchangeEvent;
using RowProgress = flows::DisplayProgress;

// A display's result as the run API gives it, and for "check" whether the display answered
// with exactly its model (LINK Y or N).
struct TargetResult : flows::DisplayResult {
    std::optional<bool> named;
};

// Trailing blanks and line ends off a hex echo ("%02X " per byte ends in a blank).
QString TrimEnd(const QString& text);
// The line end off a message (the refusal ends in "\r\n"); blanks stay, they are part of it.
QString TrimLineEnd(const QString& text);

}  // namespace dravik::ctl
