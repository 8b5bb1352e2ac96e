// The frame trace: line format, the trace file with its rotation, and the lines a LAN and an
// RS-232 exchange leave (simulated displays on 127.0.61.x and a pseudo-terminal line).
#include "transport/trace.h"

#include "transport/lan.h"
#include "transport/serial.h"

#include "fake_context.h"
#include "sim_helpers.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace dravik::transport::testing {
namespace {

using protocol::Frame;

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

TEST(TraceLine, Format) {
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

TEST(TraceFile, AppendsOneLinePerFrameWithItsCategory) {
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

TEST(TraceFile, RotatesPastItsBoundAndKeepsAppending) {
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

TEST(TraceFile, UnwritablePathIsRefused) {
    EXPECT_FALSE(InstallTraceFile("/nonexistent-dir/trace.log", 1000));
    TraceFrame(TraceChannel::Lan, Direction::Tx, "x", QByteArray("\x01", 1), "sent");  // no crash
}

TEST(TraceExchange, LanQueryLeavesTxAndRx) {
    struct Case {
        std::string address;
        bool listening;
        QStringList expected;  // endings of the lan lines, in order
    };
    const std::vector<Case> cases{
        {"127.0.61.1", true, {"sent", "replied"}},
        {"127.0.61.201", false, {"- connect failed"}},  // nothing listens there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        auto display = c.listening ? StartLanDisplay(c.address, Config("KA-55", 1)) : nullptr;
        TraceFileFixture trace;
        FakeContext ctx;
        ctx.addRow(QString::fromStdString(c.address), "KA-55");
        ctx.frame = Frame::Build(0x2F, {});
        QueryLan(ctx, 0);
        const QStringList lines = Lines(trace.path);
        ASSERT_EQ(lines.size(), c.expected.size()) << lines.join('\n').toStdString();
        const QString target = QString::fromStdString(c.address) + ":5000";
        for (int i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].startsWith("dravik.lan ")) << lines[i].toStdString();
            EXPECT_TRUE(lines[i].contains(target)) << lines[i].toStdString();
            EXPECT_TRUE(lines[i].endsWith(c.expected[i])) << lines[i].toStdString();
        }
        if (c.listening) {
            // The frame as sealed for the row, and the reply's header.
            EXPECT_TRUE(lines[0].contains(" tx " + target + " A6 01 00 00 00 03 01 2F 8A sent")) << lines[0].toStdString();
            EXPECT_TRUE(lines[1].contains(" rx " + target + " 21 01")) << lines[1].toStdString();
        }
    }
}

TEST(TraceExchange, SerialQueryLeavesTxAndRx) {
    auto line = StartSerialLine({Config("KA-55", 2)});
    FakeContext ctx;
    ctx.lan = false;
    ASSERT_EQ(ctx.port.open(Path(*line)), OpenResult::Opened);
    TraceFileFixture trace;
    ctx.addRow("2", "KA-55", "2");
    ctx.frame = Frame::Build(0x2F, {});
    QuerySerial(ctx, 0);
    const QStringList lines = Lines(trace.path).filter(QRegularExpression("^dravik\\.serial "));
    ASSERT_EQ(lines.size(), 2) << Lines(trace.path).join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(" tx " + Path(*line) + " A6 02 00 00 00 03 01 2F 89 sent")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(" rx " + Path(*line) + " 21 02")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" received"));
}

}  // namespace
}  // namespace dravik::transport::testing
