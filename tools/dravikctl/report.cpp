#include "dravikctl/report.h"

#include "protocol/catalogue.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace dravik::ctl {

namespace {

constexpr protocol::Byte kGainReply = 0x37;

QString Hex(const protocol::Bytes& bytes) { return TrimEnd(transport::HexSpaced(bytes)); }

QString OutcomeName(RowOutcome outcome) {
    switch (outcome) {
        case RowOutcome::Sent: return QStringLiteral("sent");
        case RowOutcome::Refused: return QStringLiteral("refused");
        case RowOutcome::Silent: return QStringLiteral("silent");
        case RowOutcome::Pending:
        case RowOutcome::NotSent: break;
    }
    return QStringLiteral("not-sent");
}

QStringList Frames(const TargetResult& r, ExchangeEvent::Kind kind) {
    QStringList out;
    for (const ExchangeEvent& e : r.exchange)
        if (e.kind == kind) out << Hex(e.bytes);
    return out;
}

QString Padded(const QString& text, int width) { return text.leftJustified(width, QLatin1Char(' ')); }

}  // namespace

QString ValuesText(const TargetResult& r) {
    if (!r.decodedCommand) return QString();
    const auto& v = r.values;
    switch (*r.decodedCommand) {
        case protocol::kCmdTemperature: return QStringLiteral("temperature %1").arg(v.temperature);
        case protocol::kCmdHours: return QStringLiteral("hours %1").arg(v.hours);
        case protocol::kCmdBacklightQuery: return QStringLiteral("backlight %1").arg(v.backlight);
        case protocol::kCmdVideoParamsQuery: {
            QStringList p;
            for (int x : v.video) p << QString::number(x);
            return QStringLiteral("video ") + p.join(QLatin1Char(' '));
        }
        case kGainReply:
            return QStringLiteral("gains %1 %2 %3").arg(r.gains[0]).arg(r.gains[1]).arg(r.gains[2]);
        default: break;
    }
    return QString();
}

QJsonObject ValuesJson(const TargetResult& r) {
    QJsonObject o;
    if (!r.decodedCommand) return o;
    const auto& v = r.values;
    switch (*r.decodedCommand) {
        case protocol::kCmdTemperature: o[QStringLiteral("temperature")] = v.temperature; break;
        case protocol::kCmdHours: o[QStringLiteral("hours")] = v.hours; break;
        case protocol::kCmdBacklightQuery: o[QStringLiteral("backlight")] = v.backlight; break;
        case protocol::kCmdVideoParamsQuery: {
            QJsonArray a;
            for (int x : v.video) a.append(x);
            o[QStringLiteral("video")] = a;  // parameters 2 to 7
            break;
        }
        case kGainReply:
            o[QStringLiteral("red")] = r.gains[0];
            o[QStringLiteral("green")] = r.gains[1];
            o[QStringLiteral("blue")] = r.gains[2];
            break;
        default: break;
    }
    return o;
}

std::string FormatResult(const TargetResult& r, const ReportStyle& style) {
    const QStringList tx = Frames(r, ExchangeEvent::Kind::Tx);
    const QStringList rx = Frames(r, ExchangeEvent::Kind::Rx);
    if (style.json) {
        QJsonObject o;
        o[QStringLiteral("target")] = r.target.label();
        o[QStringLiteral("interface")] = r.target.serial ? QStringLiteral("serial") : QStringLiteral("lan");
        if (r.target.serial) {
            o[QStringLiteral("device")] = r.target.where;
        } else {
            o[QStringLiteral("address")] = r.target.where;
        }
        o[QStringLiteral("id")] = r.target.id;
        o[QStringLiteral("model")] = r.target.model;
        o[QStringLiteral("command")] = QString::fromStdString(style.command);
        o[QStringLiteral("result")] = OutcomeName(r.outcome);
        o[QStringLiteral("ok")] = r.ok;
        if (!r.ok) o[QStringLiteral("error")] = r.error;
        o[QStringLiteral("link")] = r.link;
        o[QStringLiteral("frames")] = QJsonArray::fromStringList(tx);
        o[QStringLiteral("replies")] = QJsonArray::fromStringList(rx);
        if (!r.refusal.isEmpty()) o[QStringLiteral("refusal")] = r.refusal;
        if (!r.messages.isEmpty()) o[QStringLiteral("messages")] = QJsonArray::fromStringList(r.messages);
        if (style.query) o[QStringLiteral("values")] = ValuesJson(r);
        return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString() + "\n";
    }

    QString body;
    switch (r.outcome) {
        case RowOutcome::Refused: body = r.refusal; break;
        case RowOutcome::Silent: body = QStringLiteral("nothing sent"); break;
        default:
            if (style.query && r.decodedCommand) {
                body = ValuesText(r);
            } else {
                body = tx.isEmpty() ? QStringLiteral("-") : tx.join(QStringLiteral(" + "));
            }
            break;
    }
    QString line = Padded(r.target.label(), 15) + QStringLiteral("  ") + Padded(r.target.model, 9) +
                   QStringLiteral("  ") + body + QStringLiteral("  LINK ") + r.link + QStringLiteral("  ") +
                   (r.ok ? QStringLiteral("ok") : r.error) + QLatin1Char('\n');
    if (style.verbose) {
        for (const ExchangeEvent& e : r.exchange) {
            line += (e.kind == ExchangeEvent::Kind::Tx ? QStringLiteral("  TX ") : QStringLiteral("  RX ")) +
                    Hex(e.bytes) + QLatin1Char('\n');
        }
    }
    return line.toStdString();
}

}  // namespace dravik::ctl
