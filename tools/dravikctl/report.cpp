#include "dravikctl/report.h"

#include "flows/metric_names.h"
#include "flows/row_result.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <array>

namespace dravik::ctl {

namespace {

constexpr protocol::Byte kGainReply = 0x37;

QString Hex(const protocol::Bytes& bytes) { return TrimEnd(QString::fromStdString(protocol::HexSpaced(bytes))); }

// The exchange as the link saw it. A flow that sends a frame without echoing it (the wall
// page's LAN location test shows no TX) still lists it in its RowResult: those frames come
// first, before any reply, so every frame sent is reported.
// A discovery row has no link record at all: its frames and last reply are the RowResult's.
std::vector<ExchangeEvent> Exchange(const TargetResult& r) {
    const bool echoed = std::any_of(r.exchange.begin(), r.exchange.end(),
                                    [](const ExchangeEvent& e) { return e.kind == ExchangeEvent::Kind::Tx; });
    if (echoed || r.row.framesSent.empty()) return r.exchange;
    std::vector<ExchangeEvent> events;
    for (const protocol::Frame& f : r.row.framesSent) events.push_back({ExchangeEvent::Kind::Tx, f.bytes()});
    events.insert(events.end(), r.exchange.begin(), r.exchange.end());
    if (r.exchange.empty() && !r.row.reply.empty()) events.push_back({ExchangeEvent::Kind::Rx, r.row.reply});
    return events;
}

// The display did what was asked: for a check, named its model.
bool RowOk(const TargetResult& r) { return r.named ? *r.named : flows::Succeeded(r.row.outcome); }

QStringList Frames(const TargetResult& r, ExchangeEvent::Kind kind) {
    QStringList out;
    for (const ExchangeEvent& e : Exchange(r))
        if (e.kind == kind) out << Hex(e.bytes);
    return out;
}

QString Padded(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The monitor ID as it goes out in byte 1.
int IdNumber(const TargetResult& r) { return protocol::IdByteFromText(r.target.id); }
// The same, or nothing for a host that named no ID.
std::string IdField(const TargetResult& r) { return r.target.id.empty() ? std::string() : std::to_string(IdNumber(r)); }

QJsonObject SkippedJson(const SkippedRow& s) {
    QJsonObject o;
    o[QStringLiteral("file")] = Q(s.file);
    o[QStringLiteral("row")] = s.row;
    o[QStringLiteral("field")] = Q(s.field);
    o[QStringLiteral("reason")] = Q(s.reason);
    return o;
}

std::string SkippedText(const SkippedRow& s) {
    return "skipped " + s.file + " row " + std::to_string(s.row) + " (" + s.field + "): " + s.reason + "\n";
}

}  // namespace

// FormatFromName is with the option parsing (cli_options.cpp), which needs no report code.

bool Streams(Format format) { return format == Format::Text || format == Format::Jsonl || format == Format::Csv; }

QString ValuesText(const TargetResult& r) {
    const flows::Decoded& v = r.row.value;
    if (v.temperature) return QStringLiteral("temperature %1").arg(*v.temperature);
    if (v.hours) return QStringLiteral("hours %1").arg(*v.hours);
    if (v.backlight) return QStringLiteral("backlight %1").arg(*v.backlight);
    if (v.video) {
        QStringList p;
        for (int x : *v.video) p << QString::number(x);
        return QStringLiteral("video ") + p.join(QLatin1Char(' '));
    }
    if (v.gains) return QStringLiteral("gains %1 %2 %3").arg((*v.gains)[0]).arg((*v.gains)[1]).arg((*v.gains)[2]);
    if (v.model) return QStringLiteral("model ") + Q(*v.model);
    return QString();
}

QJsonObject ValuesJson(const TargetResult& r) {
    QJsonObject o;
    const flows::Decoded& v = r.row.value;
    if (v.temperature) o[QStringLiteral("temperature")] = *v.temperature;
    if (v.hours) o[QStringLiteral("hours")] = *v.hours;
    if (v.backlight) o[QStringLiteral("backlight")] = *v.backlight;
    if (v.video) {
        QJsonArray a;
        for (int x : *v.video) a.append(x);
        o[QStringLiteral("video")] = a;  // parameters 2 to 7
    }
    if (v.gains) {
        o[QStringLiteral("red")] = (*v.gains)[0];
        o[QStringLiteral("green")] = (*v.gains)[1];
        o[QStringLiteral("blue")] = (*v.gains)[2];
    }
    if (v.model) o[QStringLiteral("model")] = Q(*v.model);
    return o;
}

QJsonObject ResultJson(const TargetResult& r, const ReportStyle& style) {
    const flows::Outcome outcome = r.row.outcome;
    QJsonObject o;
    o[QStringLiteral("target")] = Q(r.target.label());
    o[QStringLiteral("interface")] = r.target.serial() ? QStringLiteral("serial") : QStringLiteral("lan");
    if (r.target.serial()) {
        o[QStringLiteral("device")] = Q(r.target.device);
    } else {
        o[QStringLiteral("address")] = Q(r.target.address);
    }
    if (!r.target.id.empty()) o[QStringLiteral("id")] = IdNumber(r);
    o[QStringLiteral("model")] = Q(r.target.model);
    if (!r.target.pos.empty()) o[QStringLiteral("pos")] = Q(r.target.pos).toInt();
    o[QStringLiteral("command")] = Q(style.command);
    o[QStringLiteral("outcome")] = Q(flows::OutcomeName(outcome));
    o[QStringLiteral("ok")] = RowOk(r);
    o[QStringLiteral("reachable")] = !flows::Unreachable(outcome);
    if (!r.row.systemText.empty()) o[QStringLiteral("system_text")] = Q(r.row.systemText);
    if (r.named) {
        o[QStringLiteral("named")] = *r.named;
        if (r.row.value.model) o[QStringLiteral("reported")] = Q(*r.row.value.model);
    }
    o[QStringLiteral("frames")] = QJsonArray::fromStringList(Frames(r, ExchangeEvent::Kind::Tx));
    o[QStringLiteral("replies")] = QJsonArray::fromStringList(Frames(r, ExchangeEvent::Kind::Rx));
    if (!r.refusal.isEmpty()) o[QStringLiteral("refusal")] = r.refusal;
    if (!r.messages.isEmpty()) o[QStringLiteral("messages")] = QJsonArray::fromStringList(r.messages);
    if (style.query) o[QStringLiteral("values")] = ValuesJson(r);
    return o;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string s = "\"";
    for (char c : text) {
        if (c == '"') s += '"';
        s += c;
    }
    return s + "\"";
}

std::string PromLabel(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == '\\') {
            s += "\\\\";
        } else if (c == '"') {
            s += "\\\"";
        } else if (c == '\n') {
            s += "\\n";
        } else {
            s += c;
        }
    }
    return s;
}

namespace {

// The first ten columns are every kind's; a command adds what it sent and read, a discovery
// what the display reported and its LINK mark.
constexpr const char* kCsvHeader = "target,interface,address,device,id,model,command,outcome,ok,system_text,";
constexpr const char* kCsvCommand = "frames,replies,values\n";
constexpr const char* kCsvDiscovery = "reported,link\n";

std::string CsvLine(const TargetResult& r, const ReportStyle& style) {
    const flows::Outcome outcome = r.row.outcome;
    std::vector<std::string> fields{
        r.target.label(),
        r.target.serial() ? "serial" : "lan",
        r.target.serial() ? std::string() : r.target.address,
        r.target.serial() ? r.target.device : std::string(),
        IdField(r),
        r.target.model,
        style.command,
        std::string(flows::OutcomeName(outcome)),
        RowOk(r) ? "true" : "false",
        r.row.systemText,
    };
    if (style.kind == RowKind::Command) {
        fields.push_back(Frames(r, ExchangeEvent::Kind::Tx).join(QStringLiteral(" + ")).toStdString());
        fields.push_back(Frames(r, ExchangeEvent::Kind::Rx).join(QStringLiteral(" + ")).toStdString());
        fields.push_back(ValuesText(r).toStdString());
    } else {
        fields.push_back(r.named && r.row.value.model ? *r.row.value.model : std::string());
        fields.push_back(r.named ? (*r.named ? "Y" : "N") : "");
    }
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line + "\n";
}

QString ExchangeLines(const TargetResult& r) {
    QString lines;
    for (const ExchangeEvent& e : Exchange(r)) {
        lines += (e.kind == ExchangeEvent::Kind::Tx ? QStringLiteral("  TX ") : QStringLiteral("  RX ")) + Hex(e.bytes) +
                 QLatin1Char('\n');
    }
    return lines;
}

// A display found ("127.0.0.5       KA-55      id 1") or checked ("ID 2  LM-55  LINK Y  replied").
std::string DiscoveryTextLine(const TargetResult& r, const ReportStyle& style) {
    const flows::RowResult& row = r.row;
    QString line = Padded(Q(r.target.label()), 15) + QStringLiteral("  ") + Padded(Q(r.target.model), 9);
    if (r.named) {
        line += QStringLiteral("  LINK ") + (*r.named ? QStringLiteral("Y") : QStringLiteral("N")) + QStringLiteral("  ") +
                Q(flows::OutcomeName(row.outcome));
        if (row.value.model && !*r.named) line += QStringLiteral(" (answered '") + Q(*row.value.model) + QStringLiteral("')");
    } else {
        // A scanned host that told no model shows why; a search's silent IDs (-v) show bare.
        if (!r.target.serial() && !r.target.id.empty()) line += QStringLiteral("  id ") + Q(r.target.id);
        if (!r.target.serial() && !flows::Succeeded(row.outcome))
            line += QStringLiteral("  ") + Q(flows::OutcomeName(row.outcome));
    }
    if (!row.systemText.empty() && !flows::Succeeded(row.outcome)) line += QStringLiteral(" (") + Q(row.systemText) + QLatin1Char(')');
    line += QLatin1Char('\n');
    if (style.verbose) line += ExchangeLines(r);
    return line.toStdString();
}

std::string TextLine(const TargetResult& r, const ReportStyle& style) {
    if (style.kind != RowKind::Command) return DiscoveryTextLine(r, style);
    const flows::Outcome outcome = r.row.outcome;
    const QStringList tx = Frames(r, ExchangeEvent::Kind::Tx);
    QString body;
    if (r.progress == RowProgress::Refused) {
        body = r.refusal;
    } else if (r.progress == RowProgress::Silent) {
        body = QStringLiteral("nothing sent");
    } else if (style.query && !r.row.value.empty()) {
        body = ValuesText(r);
    } else {
        body = tx.isEmpty() ? QStringLiteral("-") : tx.join(QStringLiteral(" + "));
    }
    QString verdict = flows::Succeeded(outcome) ? QStringLiteral("ok") : Q(flows::OutcomeName(outcome));
    if (!flows::Succeeded(outcome) && !r.row.systemText.empty() && r.progress != RowProgress::Refused)
        verdict += QStringLiteral(" (") + Q(r.row.systemText) + QLatin1Char(')');
    QString line = Padded(Q(r.target.label()), 15) + QStringLiteral("  ") + Padded(Q(r.target.model), 9) +
                   QStringLiteral("  ") + body + QStringLiteral("  LINK ") + r.link + QStringLiteral("  ") + verdict +
                   QLatin1Char('\n');
    if (style.verbose) line += ExchangeLines(r);
    return line.toStdString();
}

}  // namespace

std::string FormatResult(const TargetResult& r, const ReportStyle& style) {
    switch (style.format) {
        case Format::Jsonl: {
            QJsonObject o = ResultJson(r, style);
            o[QStringLiteral("version")] = kJsonVersion;
            return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
        }
        case Format::Csv: return CsvLine(r, style);
        case Format::Text: return TextLine(r, style);
        case Format::Json:
        case Format::Prometheus:
        case Format::PrometheusSd: break;
    }
    return std::string();
}

std::string FormatHead(const ReportStyle& style, const std::vector<SkippedRow>& skipped) {
    std::string head;
    switch (style.format) {
        case Format::Csv: head = std::string(kCsvHeader) + (style.kind == RowKind::Command ? kCsvCommand : kCsvDiscovery); break;
        case Format::Text:
            for (const SkippedRow& s : skipped) head += SkippedText(s);
            break;
        case Format::Jsonl:
            for (const SkippedRow& s : skipped) {
                QJsonObject o = SkippedJson(s);
                o[QStringLiteral("version")] = kJsonVersion;
                o[QStringLiteral("outcome")] = QStringLiteral("skipped");
                head += QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
            }
            break;
        case Format::Json:
        case Format::Prometheus:
        case Format::PrometheusSd: break;
    }
    return head;
}

std::string FormatTail(const ReportStyle& style, const std::vector<TargetResult>& results,
                       const std::vector<SkippedRow>& skipped) {
    const bool all = std::all_of(results.begin(), results.end(), [](const TargetResult& r) { return RowOk(r); });
    return FormatTail(style, results, skipped, all);
}

std::string FormatTail(const ReportStyle& style, const std::vector<TargetResult>& results,
                       const std::vector<SkippedRow>& skipped, bool ok) {
    if (style.format == Format::Prometheus) return PrometheusText(style, results);
    if (style.format == Format::PrometheusSd) return ServiceDiscoveryJson(results);
    if (style.format != Format::Json) return std::string();
    QJsonObject doc;
    doc[QStringLiteral("version")] = kJsonVersion;
    doc[QStringLiteral("command")] = Q(style.command);
    QJsonArray rows;
    for (const TargetResult& r : results) rows.append(ResultJson(r, style));
    doc[QStringLiteral("ok")] = ok;
    doc[QStringLiteral("results")] = rows;
    QJsonArray skips;
    for (const SkippedRow& s : skipped) skips.append(SkippedJson(s));
    doc[QStringLiteral("skipped")] = skips;
    return QJsonDocument(doc).toJson(QJsonDocument::Indented).toStdString();
}

std::string ServiceDiscoveryJson(const std::vector<TargetResult>& results) {
    std::vector<std::pair<std::string, QJsonArray>> groups;
    for (const TargetResult& r : results) {
        if (!flows::Succeeded(r.row.outcome) || r.target.serial()) continue;
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == r.target.model; });
        if (group == groups.end()) group = groups.insert(groups.end(), {r.target.model, QJsonArray()});
        group->second.append(Q(r.target.address));
    }
    QJsonArray doc;
    for (const auto& [model, targets] : groups) {
        QJsonObject labels;
        labels[QStringLiteral("model")] = Q(model);
        QJsonObject group;
        group[QStringLiteral("targets")] = targets;
        group[QStringLiteral("labels")] = labels;
        doc.append(group);
    }
    return QJsonDocument(doc).toJson(QJsonDocument::Indented).toStdString();
}

std::string PrometheusText(const ReportStyle& style, const std::vector<TargetResult>& results) {
    namespace m = flows::metrics;
    // The display's own labels: address (LAN) or device and id (RS-232), and model. Every
    // series of one display carries them, so displays never share a series.
    const auto place = [](const TargetResult& r) {
        return r.target.serial() ? "device=\"" + PromLabel(r.target.device) + "\",id=\"" +
                                       std::to_string(IdNumber(r)) + "\""
                                 : "address=\"" + PromLabel(r.target.address) + "\"";
    };
    // The read's name in `read` keeps the success and outcome series of two textfiles (one per
    // read, in one collector directory) apart.
    const std::string read = "read=\"" + PromLabel(style.command) + "\"";
    struct Family {
        const char* name;
        const char* help;
        std::string samples;
    };
    // In the order the families are printed.
    enum : std::size_t { kProbe, kRead, kOutcome, kTemperature, kTime, kBacklight, kVideo, kInfo };
    std::vector<Family> families{
        {m::kProbeSuccess, "Whether the read succeeded (1) or not (0).", {}},
        {m::kReadSuccess, "Whether the read succeeded (1) or not (0), as the exporter gives it per read.", {}},
        {m::kReadOutcome, "Why a read failed: its outcome, always 1.", {}},
        {m::kTemperature, "Temperature the display reports, in degrees Celsius.", {}},
        {m::kOperatingTime, "Operating time the display reports, in seconds (counted in whole hours).", {}},
        {m::kBacklight, "Backlight level the display reports.", {}},
        {m::kVideoParameter, "Video parameter the display reports, by parameter number.", {}},
        {m::kDisplayInfo, "The model the display reports, always 1.", {}},
    };
    const auto add = [&](std::size_t family, const std::string& labels, long long value) {
        families[family].samples += std::string(families[family].name) + "{" + labels + "} " + std::to_string(value) + "\n";
    };
    for (const TargetResult& r : results) {
        const std::string labels = place(r) + ",model=\"" + PromLabel(r.target.model) + "\"";
        const bool ok = flows::Succeeded(r.row.outcome);
        // A query is one read: its success is the probe's and the read's.
        add(kProbe, read + "," + labels, ok ? 1 : 0);
        add(kRead, read + "," + labels, ok ? 1 : 0);
        if (!ok)
            add(kOutcome, read + ",outcome=\"" + PromLabel(flows::OutcomeName(r.row.outcome)) + "\"," + labels, 1);
        const flows::Decoded& v = r.row.value;
        if (v.temperature) add(kTemperature, labels, *v.temperature);
        if (v.hours) add(kTime, labels, static_cast<long long>(*v.hours) * 3600);
        if (v.backlight) add(kBacklight, labels, *v.backlight);
        if (v.video) {
            for (std::size_t i = 0; i < v.video->size(); ++i)
                add(kVideo, "parameter=\"" + std::to_string(i + 2) + "\"," + labels, (*v.video)[i]);
        }
        // The model as reported, in place of the one the command was given.
        if (v.model) add(kInfo, place(r) + ",model=\"" + PromLabel(*v.model) + "\"", 1);
    }
    std::string text;
    for (const Family& f : families) {
        if (f.samples.empty()) continue;
        text += std::string("# HELP ") + f.name + " " + f.help + "\n# TYPE " + f.name + " gauge\n" + f.samples;
    }
    return text;
}

}  // namespace dravik::ctl
