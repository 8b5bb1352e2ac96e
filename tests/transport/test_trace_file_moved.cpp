// The frame trace: line format, and the trace file with its rotation.
#include "transport/trace.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <vector>

namespace dravik::transport::testing {
namespace {

QStringList Lines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return out;
}

// Installs a trace file in a fresh temporary folder for one test and removes it after.
struct TraceFileFixture {
    explicit TraceFileFixture(qint64 limit = kDefaultTraceFileLimit) {
        path = dir.filePath(QStringLiteral("trace.log"));
        EXPECT_TRUE(InstallTraceFile(path, limit));
    }
    ~TraceFileFixture() { RemoveTraceFile(); }
    QTemporaryDir dir;
    QString path;
};

TEST(TraceLineMoved, Format) {
    const std::vector<std::uint8_t> frame{0xA6, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x18, 0xBD};
    struct Case {
        double ms;
        Direction dir;
        QString target;
        std::vector<std::uint8_t> bytes;
        QString outcome;
        QString line;
    };
    const std::vector<Case> cases{
        {12.3456, Direction::Tx, "127.0.0.2:5000", frame, "sent", "12.346 tx 127.0.0.2:5000 A6 01 00 00 00 03 01 18 BD sent"},
        {0, Direction::Rx, "/dev/pts/3", {0x21, 0x0F}, "received", "0.000 rx /dev/pts/3 21 0F received"},
        {1500.5, Direction::Rx, "127.0.0.2:5000", {}, "no reply", "1500.500 rx 127.0.0.2:5000 - no reply"},
        {7, Direction::Tx, "", {0xFF}, "sent", "7.000 tx - FF sent"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatTraceFrame(c.ms, c.dir, c.target, c.bytes, c.outcome), c.line);
}

TEST(TraceFileMoved, AppendsOneLinePerFrameWithItsCategory) {
    TraceFileFixture trace;
    const std::vector<std::uint8_t> bytes{0xA6, 0x01};
    TraceFrame(TraceChannel::Lan, Direction::Tx, "a", bytes, "sent");
    TraceFrame(TraceChannel::Serial, Direction::Rx, "b", bytes, "received");
    TraceFrame(TraceChannel::Scan, Direction::Tx, "c", bytes, "sent");
    TraceFrame(TraceChannel::Flow, Direction::Tx, "d", bytes, "sent");
    TraceWarning(TraceChannel::Flow, "settings ignored");
    const QStringList lines = Lines(trace.path);  // flushed per line: readable at once
    ASSERT_EQ(lines.size(), 5) << lines.join('\n').toStdString();
    const QStringList prefixes{"dravik.lan ", "dravik.serial ", "dravik.scan ", "dravik.flow ", "dravik.flow "};
    const QRegularExpression timed(QStringLiteral("^dravik\\.[a-z]+ \\d+\\.\\d{3} "));
    for (int i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].startsWith(prefixes[i])) << lines[i].toStdString();
        EXPECT_TRUE(timed.match(lines[i]).hasMatch()) << lines[i].toStdString();
    }
    EXPECT_TRUE(lines[4].endsWith("settings ignored"));
}

TEST(TraceFileMoved, RotatesPastItsBoundAndKeepsAppending) {
    QTemporaryDir dir;
    const QString path = dir.filePath("trace.log");
    {
        QFile old(path);  // an earlier run's lines stay
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier\n");
    }
    ASSERT_TRUE(InstallTraceFile(path, 200));
    const std::vector<std::uint8_t> bytes(8, 0xAA);
    for (int i = 0; i < 20; ++i) TraceFrame(TraceChannel::Lan, Direction::Tx, QString::number(i), bytes, "sent");
    RemoveTraceFile();
    EXPECT_LE(QFile(path).size(), 200);
    EXPECT_LE(QFile(path + ".1").size(), 200);
    EXPECT_FALSE(QFile::exists(path + ".2"));
    const QStringList last = Lines(path);
    ASSERT_FALSE(last.isEmpty());
    EXPECT_TRUE(last.back().contains(" tx 19 ")) << last.back().toStdString();
    // After the file is removed, nothing more is written.
    TraceFrame(TraceChannel::Lan, Direction::Tx, "after", bytes, "sent");
    EXPECT_EQ(Lines(path), last);
}

TEST(TraceFileMoved, UnwritablePathIsRefused) {
    EXPECT_FALSE(InstallTraceFile("/nonexistent-dir/trace.log", 1000));
    TraceFrame(TraceChannel::Lan, Direction::Tx, "x", QByteArray("\x01", 1), "sent");  // no crash
}

}  // namespace
}  // namespace dravik::transport::testing
