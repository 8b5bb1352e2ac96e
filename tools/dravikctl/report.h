// How results are printed: text lines (with -v, TX and RX lines below each), JSON (one
// document), JSON lines, CSV, or the Prometheus text exposition format. Every format names
// a display's outcome by flows::OutcomeName. The JSON keys are documented in
// docs/dravikctl-json.md; kJsonVersion changes when a key changes meaning or goes away.
#pragma once

#include "dravikctl/target_result.h"

#include <QJsonObject>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravik::ctl {

inline constexpr int kJsonVersion = 1;

// PrometheusSd: the file-based service discovery JSON of what a scan found (scan only).
enum class Format { Text, Json, Jsonl, Csv, Prometheus, PrometheusSd };

std::optional<Format> FormatFromName(std::string_view name);
// Formats printed display by display as results come; the others print at the end.
bool Streams(Format format);

// A list file row left out by --skip-invalid.
struct SkippedRow {
    std::string file;
    int row = 0;
    std::string field;
    std::string reason;
};

// What the rows are: a command's results (the frames sent, values read), the displays a
// scan or search found (address or ID, model), or the displays a check asked for their model
// (LINK Y or N). Text and CSV lay each out in their own columns; JSON has the same keys.
enum class RowKind { Command, Found, Checked };

struct ReportStyle {
    RowKind kind = RowKind::Command;
    Format format = Format::Text;
    bool verbose = false;
    bool query = false;   // show decoded values instead of the frame
    std::string command;  // the command's name as given ("temperature", "on", "raw")
};

// "temperature 32", "hours 1200", "backlight 50", "video 50 10 50 0 1 0",
// "gains 128 128 128"; empty when nothing was decoded.
QString ValuesText(const TargetResult& result);
QJsonObject ValuesJson(const TargetResult& result);
QJsonObject ResultJson(const TargetResult& result, const ReportStyle& style);

// One display's result in a streaming format (text, JSON lines, CSV), ending in a line end.
std::string FormatResult(const TargetResult& result, const ReportStyle& style);
// What comes before the first result (the CSV header, skipped rows in the streaming
// formats) and after the last (the JSON document, the Prometheus exposition).
std::string FormatHead(const ReportStyle& style, const std::vector<SkippedRow>& skipped);
std::string FormatTail(const ReportStyle& style, const std::vector<TargetResult>& results,
                       const std::vector<SkippedRow>& skipped);
// The same with the run's own verdict for the document's "ok" (a scan is ok when it found a
// display, whatever the hosts that were no display).
std::string FormatTail(const ReportStyle& style, const std::vector<TargetResult>& results,
                       const std::vector<SkippedRow>& skipped, bool ok);

// Prometheus's file-based service discovery: one group per model of the LAN displays that
// answered, their addresses as targets (port 5000 implied), in the order given.
std::string ServiceDiscoveryJson(const std::vector<TargetResult>& results);

// The Prometheus exposition of query results (the metrics the query reads, and up).
std::string PrometheusText(const ReportStyle& style, const std::vector<TargetResult>& results);

// RFC 4180 field: quoted when it holds a comma, a quote or a line end.
std::string CsvField(std::string_view text);
// A Prometheus label value with backslash, quote and line end escaped.
std::string PromLabel(std::string_view text);

}  // namespace dravik::ctl
