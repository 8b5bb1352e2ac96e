// SerialLink over a pseudo-terminal line of simulated displays, and the checks a typed
// serial path goes through before it is opened.
#include "transport/serial_link.h"
#include "ui/texts.h"

#include "sim_helpers.h"
#include "protocol/reply.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace dravik::transport::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Frame;

Frame QueryFor(int id) {
    Frame f = Frame::Build(0x2F, {});
    f.SetMonitorId(static_cast<protocol::Byte>(id));
    return f;
}

ReplyRule LineRule(Millis pause = 150ms, Millis retry = 0ms) {
    ReplyRule rule;
    rule.pause = pause;
    rule.timeout = 150ms;
    rule.retry = retry;
    rule.limit = 128;
    rule.drainWait = 0ms;
    return rule;
}

// What the line's observer heard, per exchange.
struct HeardBytes final : LinkObserver {
    std::size_t received = 0, discarded = 0;
    void replyReceived(const std::string&, std::span<const protocol::Byte> reply) override { received += reply.size(); }
    void replyDiscarded(const std::string&, std::span<const protocol::Byte> bytes) override { discarded += bytes.size(); }
};

TEST(SerialLink, OneExchangePerSimulatorFault) {
    auto line = StartSerialLine({Config("KA-55", 1), Config("KA-55", 2, sim::Fault::NeverAnswer),
                                 Config("KA-55", 3, sim::Fault::WrongHeader), Config("KA-55", 4, sim::Fault::ShortReply),
                                 Config("KA-55", 5, sim::Fault::Nack), Config("KA-55", 6, sim::Fault::Nav),
                                 Config("KA-55", 7, sim::Fault::LongReply), Config("KA-55", 8, sim::Fault::AnswerLate, 700),
                                 Config("KA-55", 9, sim::Fault::AnswerLate, 350), Config("KA-55", 10, sim::Fault::CloseAtOnce)});
    SerialPort port;
    ASSERT_EQ(port.open(Path(*line)), OpenResult::Opened);
    SerialLink link(port);
    HeardBytes heard;
    link.setObserver(&heard);
    ASSERT_TRUE(link.open("").ok());
    struct Case {
        int id;
        ReplyRule rule;
        std::size_t size;  // 0: no reply; SIZE_MAX: a data reply as long as its length byte says
        int header;
        int status;  // byte 7, -1 unchecked
    };
    constexpr std::size_t kData = SIZE_MAX;
    const std::vector<Case> cases{
        {1, LineRule(), kData, 0x21, -1},
        {2, LineRule(), 0, -1, -1},
        {3, LineRule(), kData, 0x12, -1},
        {4, LineRule(), 9, 0x21, -1},
        {5, LineRule(), 9, 0x21, 0x03},
        {6, LineRule(), 9, 0x21, 0x04},
        {7, LineRule(), 128, 0x21, -1},
        {1, LineRule(), kData, 0x21, -1},  // the drain took the long reply's tail
        {9, LineRule(100ms, 400ms), kData, 0x21, -1},  // the retry's read catches it
        {10, LineRule(), 0, -1, -1},
        {8, LineRule(), 0, -1, -1},  // later than pause + look (last: it lands afterwards)
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.id);
        heard = {};
        const Frame frame = QueryFor(c.id);
        const ExchangeResult r = link.exchange(frame.bytes(), c.rule);
        EXPECT_EQ(heard.received, r.reply.size());
        // Only the drain after the long reply finds bytes of an earlier answer.
        EXPECT_EQ(heard.discarded > 0, i == 7) << heard.discarded;
        EXPECT_TRUE(r.status.ok()) << r.status.systemText;
        EXPECT_TRUE(r.written);
        if (c.size == 0) {
            EXPECT_TRUE(r.reply.empty());
            continue;
        }
        ASSERT_GE(r.reply.size(), 8u);
        const protocol::Reply reply(r.reply);
        EXPECT_EQ(r.reply.size(), c.size == kData ? reply.expectedSize().value_or(0) : c.size);
        EXPECT_EQ(reply.header(), c.header);
        EXPECT_EQ(reply.monitorId(), c.id);
        if (c.status >= 0) {
            EXPECT_EQ(reply.status(), c.status);
        }
    }
    // Every frame went out whole and in order.
    const auto log = line->log();
    ASSERT_EQ(log.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(log[i].bytes, QueryFor(cases[i].id).bytes());
}

TEST(SerialLink, ClosedLineAndVanishedDevice) {
    SerialPort closed;
    SerialLink idle(closed);
    EXPECT_EQ(idle.open("").error, LinkError::PortClosed);
    EXPECT_EQ(idle.exchange(QueryFor(1).bytes(), LineRule()).status.error, LinkError::PortClosed);
    EXPECT_FALSE(idle.exchange(QueryFor(1).bytes(), LineRule()).written);

    auto line = StartSerialLine({Config("KA-55", 1)});
    SerialPort port;
    ASSERT_EQ(port.open(Path(*line)), OpenResult::Opened);
    SerialLink link(port);
    ASSERT_TRUE(link.exchange(QueryFor(1).bytes(), LineRule()).status.ok());
    line->stop();  // the adapter is pulled out
    const ExchangeResult r = link.exchange(QueryFor(1).bytes(), LineRule());
    EXPECT_TRUE(r.status.error == LinkError::WriteFailed || r.status.error == LinkError::PortClosed)
        << static_cast<int>(r.status.error);
    EXPECT_TRUE(r.reply.empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.deviceLost());
    EXPECT_EQ(link.exchange(QueryFor(1).bytes(), LineRule()).status.error, LinkError::PortClosed);
    EXPECT_EQ(link.open("").error, LinkError::PortClosed);
}

TEST(SerialPortPath, TypedPathsAreResolvedOrRefusedWithAReason) {
    auto line = StartSerialLine({Config("KA-55", 1)});
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString toPty = dir.filePath("usb-Adapter_A50285BI-if00-port0");
    const QString toNull = dir.filePath("null-link");
    const QString plainFile = dir.filePath("plain");
    ASSERT_TRUE(QFile::link(Path(*line), toPty));
    ASSERT_TRUE(QFile::link("/dev/null", toNull));
    QFile(plainFile).open(QIODevice::WriteOnly);
    struct Case {
        QString text;
        OpenResult result;
        OpenReason reason;
    };
    const std::vector<Case> cases{
        {toPty, OpenResult::Opened, OpenReason::None},
        {Path(*line), OpenResult::Opened, OpenReason::None},
        {toNull, OpenResult::OpeningError, OpenReason::NotATty},
        {"/dev/null", OpenResult::OpeningError, OpenReason::NotATty},
        {plainFile, OpenResult::OpeningError, OpenReason::NotATty},
        {dir.filePath("missing"), OpenResult::OpeningError, OpenReason::Missing},
        {"ttyNOSUCH7", OpenResult::OpeningError, OpenReason::Missing},
        {"/dev/pts/ptmx", OpenResult::OpeningError, OpenReason::NotASerialLine},
        {"12", OpenResult::NoSuchPort, OpenReason::NotAPortName},
        {"/dev/../dev/null", OpenResult::NoSuchPort, OpenReason::NotAPortName},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        SerialPort port;
        EXPECT_EQ(port.open(c.text), c.result);
        EXPECT_EQ(port.lastReason(), c.reason) << port.lastReasonText().toStdString();
        EXPECT_EQ(port.lastReasonText().isEmpty(), c.reason == OpenReason::None);
        if (c.result == OpenResult::Opened) {
            EXPECT_EQ(port.devicePath(), QFileInfo(Path(*line)).canonicalFilePath());
        }
    }
    // The link and the device are one port: the second open is refused as in use.
    SerialPort first, second;
    ASSERT_EQ(first.open(toPty), OpenResult::Opened);
    EXPECT_EQ(second.open(Path(*line)), OpenResult::OpeningError);
    EXPECT_EQ(second.lastReason(), OpenReason::InUse);
}

TEST(SerialPortPath, PermissionDeniedNamesTheGroup) {
    auto line = StartSerialLine({Config("KA-55", 1)});
    // Root may open anything, so the denial comes from an injected probe; the system probe
    // is checked for real when the tests run as another user.
    SerialPort port;
    port.setPathProbe([](const QString& path) {
        PortPathFacts facts = ProbePortPath(path);
        facts.readWrite = false;
        return facts;
    });
    EXPECT_EQ(port.open(Path(*line)), OpenResult::OpeningError);
    EXPECT_EQ(port.lastReason(), OpenReason::PermissionDenied);
    EXPECT_TRUE(port.lastReasonText().contains("group dialout")) << port.lastReasonText().toStdString();
    EXPECT_TRUE(port.lastReasonText().startsWith(Path(*line)));
    EXPECT_EQ(ui::OpenResultText(OpenResult::OpeningError), QString("COM Port Opening Error "));

    if (::geteuid() == 0) GTEST_SKIP() << "running as root: a chmod 000 device still opens";
    ASSERT_TRUE(QFile::setPermissions(Path(*line), QFileDevice::Permissions()));
    SerialPort real;
    EXPECT_EQ(real.open(Path(*line)), OpenResult::OpeningError);
    EXPECT_EQ(real.lastReason(), OpenReason::PermissionDenied);
}

TEST(SerialPortPath, ClassifyFacts) {
    const auto facts = [](bool charDev, bool pts, bool serial, bool tty, bool rw) {
        return PortPathFacts{"/dev/x", charDev, pts, serial, tty, rw};
    };
    const std::vector<std::pair<PortPathFacts, OpenReason>> cases{
        {PortPathFacts{}, OpenReason::Missing},
        {facts(false, false, false, false, true), OpenReason::NotATty},
        {facts(true, false, false, false, true), OpenReason::NotATty},
        {facts(true, false, false, true, true), OpenReason::NotASerialLine},
        {facts(true, true, false, true, false), OpenReason::PermissionDenied},
        {facts(true, false, true, true, false), OpenReason::PermissionDenied},
        {facts(true, true, false, true, true), OpenReason::None},
        {facts(true, false, true, true, true), OpenReason::None},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(ClassifyPortPath(cases[i].first), cases[i].second) << i;
}

TEST(SerialPortPath, EnumerationIsSharedUntilRefreshed) {
    const QStringList first = AvailablePorts();
    EXPECT_EQ(AvailablePorts(), first);
    EXPECT_EQ(RefreshPorts(), SerialPort::SystemPortNames());
}

}  // namespace
}  // namespace dravik::transport::testing
