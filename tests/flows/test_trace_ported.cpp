// The trace lines a LAN and an RS-232 query leave when the trace observes the links, as the
// pages set them up: simulated displays on 127.0.85.60 .. 127.0.85.69 (nothing listens on
// 127.0.85.230) and a pseudo-terminal line.
#include "flows/control_flow.h"

#include "transport/lan_link.h"
#include "transport/memory_link.h"
#include "transport/serial_link.h"
#include "transport/trace.h"
#include "transport/trace_link.h"

#include "../transport/sim_helpers.h"
#include "page_recorder.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

namespace dravik::flows::testing {
namespace {

using flows::ButtonFlowId;
using transport::testing::Config;
using transport::testing::Path;
using transport::testing::StartLanDisplay;
using transport::testing::StartSerialLine;

// The trace file's lines of one channel ("dravik.lan ", ...).
QStringList Lines(const QString& path, const QString& prefix) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(prefix)) out << line;
    }
    return out;
}

struct TraceFile {
    TraceFile() {
        path = dir.filePath(QStringLiteral("trace.log"));
        EXPECT_TRUE(transport::InstallTraceFile(path));
    }
    ~TraceFile() { transport::RemoveTraceFile(); }
    QTemporaryDir dir;
    QString path;
};

ControlRun Query(targets::Target target, transport::Link& lan, transport::Link& serial) {
    PageRecorder page(1);
    ControlRequest req;
    req.flow = &flows::FlowOf(ButtonFlowId::Temperature);
    req.lan = !target.serial();
    req.targets = {std::move(target)};
    req.selected = 0;
    return RunControlFlow(req, {&lan, &serial}, page);
}

TEST(TraceExchangePorted, LanQueryLeavesTxAndRx) {
    struct Case {
        std::string address;
        bool listening;
        QStringList endings;  // of the lan lines, in order
    };
    const std::vector<Case> cases{
        {"127.0.85.60", true, {"sent", "received"}},
        {"127.0.85.230", false, {"connect-refused: Connection refused"}},  // nothing listens there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        auto display = c.listening ? StartLanDisplay(c.address, Config("KA-55", 1)) : nullptr;
        TraceFile trace;
        transport::LanLink lan;
        transport::TraceLinkObserver observer(transport::TraceChannel::Lan);
        lan.setObserver(&observer);
        transport::MemoryLink serial(transport::MemoryLink::Style::Serial);
        Query(LanTarget(c.address), lan, serial);

        const QStringList lines = Lines(trace.path, "dravik.lan ");
        ASSERT_EQ(lines.size(), c.endings.size()) << lines.join('\n').toStdString();
        const QString target = QString::fromStdString(c.address);
        for (int i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i].contains(" " + target + " ")) << lines[i].toStdString();
            EXPECT_TRUE(lines[i].endsWith(c.endings[i])) << lines[i].toStdString();
        }
        if (c.listening) {
            // The frame as sealed for the row, and the reply's header.
            EXPECT_TRUE(lines[0].contains(" tx " + target + " A6 01 00 00 00 03 01 2F 8A sent")) << lines[0].toStdString();
            EXPECT_TRUE(lines[1].contains(" rx " + target + " 21 01")) << lines[1].toStdString();
        }
        // And the row's outcome in the flow's channel.
        const QStringList flow = Lines(trace.path, "dravik.flow ");
        ASSERT_EQ(flow.size(), 1);
        EXPECT_TRUE(flow[0].endsWith(c.listening ? "replied" : "connect-refused")) << flow[0].toStdString();
    }
}

TEST(TraceExchangePorted, SerialQueryLeavesTxAndRx) {
    auto line = StartSerialLine({Config("KA-55", 2)});
    transport::SerialPort port;
    ASSERT_EQ(port.open(Path(*line)), transport::OpenResult::Opened);
    transport::SerialLink serial(port);
    transport::TraceLinkObserver observer(transport::TraceChannel::Serial);
    serial.setObserver(&observer);
    transport::MemoryLink lan;
    TraceFile trace;
    Query(SerialTarget("2"), lan, serial);
    const QStringList lines = Lines(trace.path, "dravik.serial ");
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(" tx " + Path(*line) + " A6 02 00 00 00 03 01 2F 89 sent")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(" rx " + Path(*line) + " 21 02")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" received"));
}

}  // namespace
}  // namespace dravik::flows::testing
