#include "dravikctl/report.h"

#include "flows/row_result.h"
#include "protocol/catalogue.h"
#include "protocol/frame.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <array>
#include <functional>

namespace dravik::ctl {

namespace {

constexpr protocol::Byte kGainReply = 0x37;

QString Hex(const protocol::Bytes& bytes) { return TrimEnd(QString::fromStdString(protocol::HexSpaced(bytes))); }

QStringList Frames(const TargetResult& r, ExchangeEvent::Kind kind) {
    QStringList out;
    for (const ExchangeEvent& e : r.exchange)
        if (e.kind == kind) out << Hex(e.bytes);
    return out;
}

QString Padded(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The monitor ID as it goes out in byte 1.
int IdNumber(const TargetResult& r) { return protocol::IdByteFromText(r.target.id); }

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
    o[QStringLiteral("id")] = IdNumber(r);
    o[QStringLiteral("model")] = Q(r.target.model);
    if (!r.target.pos.empty()) o[QStringLiteral("pos")] = Q(r.target.pos).toInt();
    o[QStringLiteral("command")] = Q(style.command);
    o[QStringLiteral("outcome")] = Q(flows::OutcomeName(outcome));
    o[QStringLiteral("ok")] = flows::Succeeded(outcome);
    o[QStringLiteral("reachable")] = !flows::Unreachable(outcome);
    if (!r.row.systemText.empty()) o[QStringLiteral("system_text")] = Q(r.row.systemText);
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

constexpr const char* kCsvHeader = "target,interface,address,device,id,model,command,outcome,ok,system_text,frames,replies,values\n";

std::string CsvLine(const TargetResult& r, const ReportStyle& style) {
    const flows::Outcome outcome = r.row.outcome;
    const std::array<std::string, 13> fields{
        r.target.label(),
        r.target.serial() ? "serial" : "lan",
        r.target.serial() ? std::string() : r.target.address,
        r.target.serial() ? r.target.device : std::string(),
        std::to_string(IdNumber(r)),
        r.target.model,
        style.command,
        std::string(flows::OutcomeName(outcome)),
        flows::Succeeded(outcome) ? "true" : "false",
        r.row.systemText,
        Frames(r, ExchangeEvent::Kind::Tx).join(QStringLiteral(" + ")).toStdString(),
        Frames(r, ExchangeEvent::Kind::Rx).join(QStringLiteral(" + ")).toStdString(),
        ValuesText(r).toStdString(),
    };
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) line += (i ? "," : "") + CsvField(fields[i]);
    return line + "\n";
}

std::string TextLine(const TargetResult& r, const ReportStyle& style) {
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
    if (style.verbose) {
        for (const ExchangeEvent& e : r.exchange) {
            line += (e.kind == ExchangeEvent::Kind::Tx ? QStringLiteral("  TX ") : QStringLiteral("  RX ")) +
                    Hex(e.bytes) + QLatin1Char('\n');
        }
    }
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
        case Format::Prometheus: break;
    }
    return std::string();
}

std::string FormatHead(const ReportStyle& style, const std::vector<SkippedRow>& skipped) {
    std::string head;
    switch (style.format) {
        case Format::Csv: head = kCsvHeader; break;
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
        case Format::Prometheus: break;
    }
    return head;
}

std::string FormatTail(const ReportStyle& style, const std::vector<TargetResult>& results,
                       const std::vector<SkippedRow>& skipped) {
    if (style.format == Format::Prometheus) return PrometheusText(style, results);
    if (style.format != Format::Json) return std::string();
    QJsonObject doc;
    doc[QStringLiteral("version")] = kJsonVersion;
    doc[QStringLiteral("command")] = Q(style.command);
    QJsonArray rows;
    bool all = true;
    for (const TargetResult& r : results) {
        rows.append(ResultJson(r, style));
        all = all && flows::Succeeded(r.row.outcome);
    }
    doc[QStringLiteral("ok")] = all;
    doc[QStringLiteral("results")] = rows;
    QJsonArray skips;
    for (const SkippedRow& s : skipped) skips.append(SkippedJson(s));
    doc[QStringLiteral("skipped")] = skips;
    return QJsonDocument(doc).toJson(QJsonDocument::Indented).toStdString();
}

std::string PrometheusText(const ReportStyle& style, const std::vector<TargetResult>& results) {
    struct Metric {
        const char* name;
        const char* help;
        std::function<std::optional<double>(const TargetResult&)> value;
    };
    const auto labels = [](const TargetResult& r) {
        std::string l = r.target.serial() ? "device=\"" + PromLabel(r.target.device) + "\",id=\"" +
                                                std::to_string(IdNumber(r)) + "\""
                                          : "address=\"" + PromLabel(r.target.address) + "\"";
        return "{" + l + ",model=\"" + PromLabel(r.target.model) + "\"}";
    };
    const std::vector<Metric> metrics{
        {"dravik_display_up", "Whether the display answered the query (1) or not (0).",
         [](const TargetResult& r) { return std::optional<double>(flows::Succeeded(r.row.outcome) ? 1 : 0); }},
        {"dravik_display_temperature_celsius", "Temperature the display reports, in degrees Celsius.",
         [](const TargetResult& r) -> std::optional<double> {
             if (!r.row.value.temperature) return std::nullopt;
             return *r.row.value.temperature;
         }},
        {"dravik_display_operating_hours", "Operating hours the display reports.",
         [](const TargetResult& r) -> std::optional<double> {
             if (!r.row.value.hours) return std::nullopt;
             return *r.row.value.hours;
         }},
        {"dravik_display_backlight_level", "Backlight level the display reports.",
         [](const TargetResult& r) -> std::optional<double> {
             if (!r.row.value.backlight) return std::nullopt;
             return *r.row.value.backlight;
         }},
    };
    std::string text;
    for (const Metric& m : metrics) {
        std::string samples;
        for (const TargetResult& r : results) {
            if (const auto v = m.value(r)) {
                char number[32];
                std::snprintf(number, sizeof number, "%g", *v);
                samples += std::string(m.name) + labels(r) + " " + number + "\n";
            }
        }
        if (samples.empty()) continue;
        text += std::string("# HELP ") + m.name + " " + m.help + "\n# TYPE " + m.name + " gauge\n" + samples;
    }
    (void)style;
    return text;
}

}  // namespace dravik::ctl
