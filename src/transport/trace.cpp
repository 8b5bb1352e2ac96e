#include "transport/trace.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <memory>
#include <mutex>

Q_LOGGING_CATEGORY(lcDravikLan, "dravik.lan", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDravikSerial, "dravik.serial", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDravikScan, "dravik.scan", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDravikFlow, "dravik.flow", QtWarningMsg)

namespace dravik::transport {

namespace {

QElapsedTimer& Clock() {
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock;
}

struct TraceFile {
    QFile file;
    QString path;
    qint64 maxBytes = kDefaultTraceFileLimit;
    QtMessageHandler previous = nullptr;
};

std::mutex installMutex;
TraceFile* active = nullptr;  // guarded by installMutex

bool OpenAppending(TraceFile& t) {
    t.file.setFileName(t.path);
    return t.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void WriteLine(TraceFile& t, const QByteArray& line) {
    if (!t.file.isOpen()) return;
    if (t.file.size() > 0 && t.file.size() + line.size() > t.maxBytes) {
        t.file.close();
        const QString old = t.path + QStringLiteral(".1");
        QFile::remove(old);
        QFile::rename(t.path, old);
        if (!OpenAppending(t)) return;
    }
    t.file.write(line);
    t.file.flush();
}

void Handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    QtMessageHandler previous = nullptr;
    {
        std::lock_guard lock(installMutex);
        if (active != nullptr) {
            previous = active->previous;
            if (context.category != nullptr && qstrncmp(context.category, "dravik.", 7) == 0) {
                WriteLine(*active, QByteArray(context.category) + ' ' + message.toUtf8() + '\n');
                if (type == QtInfoMsg || type == QtDebugMsg) return;
            }
        }
    }
    if (previous != nullptr) {
        previous(type, context, message);
    } else {
        const QByteArray text = qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
        std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
        std::fflush(stderr);
    }
}

const char* DirectionText(Direction d) { return d == Direction::Tx ? "tx" : "rx"; }

}  // namespace

const QLoggingCategory& TraceCategory(TraceChannel channel) {
    switch (channel) {
        case TraceChannel::Lan: return lcDravikLan();
        case TraceChannel::Serial: return lcDravikSerial();
        case TraceChannel::Scan: return lcDravikScan();
        case TraceChannel::Flow: break;
    }
    return lcDravikFlow();
}

double TraceClockMs() { return static_cast<double>(Clock().nsecsElapsed()) / 1e6; }

void StartTraceClock() { Clock(); }

QString FormatTraceFrame(double ms, Direction direction, const QString& target,
                         std::span<const std::uint8_t> bytes, const QString& outcome) {
    QString hex;
    if (bytes.empty()) {
        hex = QStringLiteral("-");
    } else {
        hex.reserve(static_cast<qsizetype>(bytes.size() * 3));
        static constexpr char kDigits[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i != 0) hex += QLatin1Char(' ');
            hex += QLatin1Char(kDigits[bytes[i] >> 4]);
            hex += QLatin1Char(kDigits[bytes[i] & 0x0F]);
        }
    }
    return QString::number(ms, 'f', 3) + QLatin1Char(' ') + QLatin1String(DirectionText(direction)) +
           QLatin1Char(' ') + (target.isEmpty() ? QStringLiteral("-") : target) + QLatin1Char(' ') + hex +
           QLatin1Char(' ') + outcome;
}

void TraceFrame(TraceChannel channel, Direction direction, const QString& target,
                std::span<const std::uint8_t> bytes, const QString& outcome) {
    const QLoggingCategory& category = TraceCategory(channel);
    if (!category.isInfoEnabled()) return;
    const QString line = FormatTraceFrame(TraceClockMs(), direction, target, bytes, outcome);
    qCInfo(category).noquote() << line;
}

void TraceFrame(TraceChannel channel, Direction direction, const QString& target, const QByteArray& bytes,
                const QString& outcome) {
    TraceFrame(channel, direction, target,
               std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                             static_cast<std::size_t>(bytes.size())),
               outcome);
}

void TraceWarning(TraceChannel channel, const QString& text) {
    qCWarning(TraceCategory(channel)).noquote() << QString::number(TraceClockMs(), 'f', 3) + QLatin1Char(' ') + text;
}

bool InstallTraceFile(const QString& path, qint64 maxBytes) {
    std::lock_guard lock(installMutex);
    auto t = std::make_unique<TraceFile>();
    t->path = path;
    t->maxBytes = maxBytes > 0 ? maxBytes : kDefaultTraceFileLimit;
    if (!OpenAppending(*t)) return false;
    StartTraceClock();
    if (active != nullptr) {
        // Replacing a file: keep the handler chain, swap the file.
        t->previous = active->previous;
        TraceFile* old = active;
        active = t.release();
        delete old;
    } else {
        active = t.get();
        active->previous = qInstallMessageHandler(Handler);
        t.release();
    }
    // Rules from QT_LOGGING_RULES are applied after these and win.
    QLoggingCategory::setFilterRules(QStringLiteral("dravik.*.info=true"));
    return true;
}

void RemoveTraceFile() {
    std::lock_guard lock(installMutex);
    if (active == nullptr) return;
    qInstallMessageHandler(active->previous);
    TraceFile* old = active;
    active = nullptr;
    delete old;
    QLoggingCategory::setFilterRules(QString());
}

}  // namespace dravik::transport
