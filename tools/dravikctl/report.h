// How a display's result is printed: one text line (with -v, its TX and RX lines below
// it) or one JSON object on one line.
#pragma once

#include "dravikctl/console_context.h"

#include <QJsonObject>

#include <string>

namespace dravik::ctl {

struct ReportStyle {
    bool json = false;
    bool verbose = false;
    bool query = false;   // show decoded values instead of the frame
    std::string command;  // the command's name, for JSON
};

// "temperature 32", "hours 1200", "backlight 50", "video 50 10 50 0 1 0",
// "gains 128 128 128"; empty when nothing was decoded.
QString ValuesText(const TargetResult& result);
QJsonObject ValuesJson(const TargetResult& result);

// The text form ends in a line end; the JSON form is one line.
std::string FormatResult(const TargetResult& result, const ReportStyle& style);

}  // namespace dravik::ctl
