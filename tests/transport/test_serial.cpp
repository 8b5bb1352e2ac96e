// The COM port, its box and the RS-232 exchanges against displays on pseudo-terminal lines.
#include "transport/com_port.h"
#include "transport/pump_wait.h"
#include "transport/serial.h"

#include "fake_context.h"
#include "sim_helpers.h"

#include <QElapsedTimer>
#include <QRegularExpression>

namespace dravik::transport::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Frame;

const Frame kPowerOn = Frame::Build(0x18, {0x02});
const Frame kTemperatureQuery = Frame::Build(0x2F, {});
const Frame kVideoQuery = Frame::Build(0x33, {});
const Frame kBrightness = Frame::Build(0xC0, {0x3C});
const QString kMissingPty = "/dev/pts/987654";

// RS-232 mode with the line's device open.
struct SerialFixture {
    explicit SerialFixture(std::vector<sim::DisplayConfig> displays) : line(StartSerialLine(std::move(displays))) {
        ctx.lan = false;
        EXPECT_EQ(ctx.port.open(Path(*line)), OpenResult::Opened);
    }
    std::unique_ptr<sim::SerialLine> line;
    FakeContext ctx;
};

FrameBuilder Builds(FakeContext& ctx, bool builds, const Frame& frame) {
    return [&ctx, builds, frame](const QString&) {
        if (builds) ctx.frame = frame;
        return builds;
    };
}

TEST(SerialPort, OpensOnlySerialDevicesAndEachOnce) {
    auto line = StartSerialLine({Config("KA-55")});
    const std::vector<std::pair<QString, OpenResult>> cases{
        {"", OpenResult::NoSuchPort},          {"0", OpenResult::NoSuchPort},
        {"12", OpenResult::NoSuchPort},        {"ttyS0;rm", OpenResult::NoSuchPort},
        {"/dev/../dev/null", OpenResult::NoSuchPort},
        {"ttyNOSUCH7", OpenResult::OpeningError}, {kMissingPty, OpenResult::OpeningError},
        {"/dev/null", OpenResult::OpeningError},  // exists, but is no serial device
        {"/dev/pts/ptmx", OpenResult::OpeningError}, {" " + Path(*line), OpenResult::Opened},
    };
    for (const auto& [text, result] : cases) {
        SerialPort port;
        EXPECT_EQ(port.open(text), result) << text.toStdString();
    }
    SerialPort first, second;
    ASSERT_EQ(first.open(Path(*line)), OpenResult::Opened);
    EXPECT_EQ(second.open(Path(*line)), OpenResult::OpeningError);  // the other page holds it
    first.close();
    EXPECT_EQ(second.open(Path(*line)), OpenResult::Opened);
}

class RecordingView : public ComPortView {
public:
    void setPortEntries(const QStringList& e) override { entries = e, text = e.value(0); }
    QString portText() const override { return text; }
    void setPortNumber(int n) override { number = n; }
    void setOpenEnabled(bool e) override { state[0] = e ? 'O' : '-'; }
    void setCloseEnabled(bool e) override { state[1] = e ? 'C' : '-'; }
    void setSearchEnabled(bool e) override { state[2] = e ? 'S' : '-'; }
    void setCheckMonitorEnabled(bool e) override { state[3] = e ? 'M' : '-'; }
    void setIdSearchEnabled(bool e) override { state[4] = e ? 'I' : '-'; }
    void readControls() override { ++reads; }
    void writeControls() override {}

    QStringList entries;
    QString text;
    int number = -1;
    std::string state = "O-SMI";  // Open, Close, Search, check Monitor, ID search
    int reads = 0;
};

TEST(ComPortController, SearchOpenClose) {
    auto a = StartSerialLine({Config("KA-55")});
    auto b = StartSerialLine({Config("KA-55")});
    SerialPort port;
    RecordingView view;
    RecordingFeedback feedback;
    ComPortController box(port, view, feedback, [&] { return QStringList{kMissingPty, Path(*b), Path(*a), Path(*b)}; });

    box.SearchPorts();
    QStringList expected{Path(*a), Path(*b)};
    expected.sort();  // as text: "/dev/pts/10" before "/dev/pts/9"
    EXPECT_EQ(view.entries, expected);

    view.text = Path(*a);
    ASSERT_TRUE(box.OpenPort());
    EXPECT_TRUE(feedback.messages.isEmpty());
    EXPECT_EQ(view.state, "-C-MI");
    EXPECT_EQ(view.number, Path(*a).section('/', -1).toInt());

    box.SearchPorts();
    EXPECT_EQ(view.entries, QStringList{Path(*b)});  // the page's own open port is not offered

    box.ClosePort();
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(view.state, "O-S--");
    EXPECT_EQ(view.reads, 2);
}

TEST(ComPortController, FailedOpens) {
    struct Case {
        QString typed;  // empty: the search's first entry
        QString message;
        int number;  // -1: left alone
    };
    const std::vector<Case> cases{
        {"", " OPEN COM ERROR !", -1},
        {kMissingPty, "COM Port Opening Error ", 0},
        {"/dev/zero", "COM Port Opening Error ", 0},
    };
    for (const Case& c : cases) {
        SerialPort port;
        RecordingView view;
        RecordingFeedback feedback;
        ComPortController box(port, view, feedback, [] { return QStringList{kMissingPty}; });
        box.SearchPorts();
        EXPECT_EQ(view.entries, QStringList{"0"});
        if (!c.typed.isEmpty()) view.text = c.typed;
        EXPECT_FALSE(box.OpenPort());
        EXPECT_EQ(feedback.messages, QStringList{c.message});
        EXPECT_EQ(view.state, "O-S-I") << c.typed.toStdString();  // Check Monitor off first
        EXPECT_EQ(view.number, c.number);
    }
}

TEST(SerialExchanges, PortClosedWritesNothing) {
    auto line = StartSerialLine({Config("KA-55", 1)});
    const std::vector<std::pair<std::function<bool(FakeContext&)>, QString>> cases{
        {[](FakeContext& c) { return SendSerial(c, 0); }, "Send....."},
        {[](FakeContext& c) { return QuerySerial(c, 0); }, "Sending..."},
        {[](FakeContext& c) {
             return ReadThenSetSerial(c, 0, Builds(c, true, kVideoQuery), Builds(c, true, kBrightness));
         },
         "untouched"},
        {[](FakeContext& c) { return SendSerialWall(c, 0); }, "Send....."},
    };
    for (const auto& [run, status] : cases) {
        FakeContext ctx;
        ctx.lan = false;
        ctx.addRow("1", "KA-55");
        ctx.frame = kPowerOn;
        EXPECT_FALSE(run(ctx));
        EXPECT_EQ(ctx.fb.messages, QStringList{"COM Port Closed "});
        EXPECT_EQ(ctx.status, status);
    }
    EXPECT_FALSE(line->waitForLog(1, 200ms));
}

TEST(SendSerial, AddressesByColumnZeroAndKeepsTheReply) {
    for (const bool show : {true, false}) {
        SerialFixture f({Config("KA-55", 3), Config("KA-55", 4)});
        f.ctx.show = show;
        f.ctx.tx = "previous";
        f.ctx.addRow("3", "KA-55", "99");  // column 4 is not used over RS-232
        f.ctx.frame = kPowerOn;

        EXPECT_TRUE(SendSerial(f.ctx, 0));

        ASSERT_TRUE(f.line->waitForLog(1, 1s));
        EXPECT_EQ(f.line->log().at(0).hex, "A6 03 00 00 00 04 01 18 02 BA ");
        EXPECT_EQ(f.ctx.statuses, QStringList({"Send.....", ""}));
        EXPECT_EQ(f.ctx.reply.count, 9);  // the acknowledge of display 3
        EXPECT_EQ(f.ctx.reply.at(1), 3);
        EXPECT_EQ(f.ctx.rx, show ? HexPacked(f.ctx.reply.received()) : "");
        EXPECT_EQ(f.ctx.tx, show ? "A6 03 00 00 00 04 01 18 02 BA " : "previous");
    }
}

TEST(QuerySerial, ReplyOrMessage) {
    SerialFixture f({Config("KA-55", 3)});
    f.line->display(3)->setTemperature(-10);
    f.ctx.addRow("3", "KA-55");
    f.ctx.addRow("9", "KA-55");  // nobody answers ID 9
    f.ctx.frame = kTemperatureQuery;

    EXPECT_TRUE(QuerySerial(f.ctx, 0));
    EXPECT_EQ(f.ctx.link(0), "Y");
    EXPECT_EQ(f.ctx.decoded, QStringList{"KA-55"});
    EXPECT_EQ(f.ctx.reply.at(7), 0xF6);
    EXPECT_EQ(f.ctx.status, "");

    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(QuerySerial(f.ctx, 1));
    EXPECT_GE(clock.elapsed(), 1300);  // both reads were waited for
    EXPECT_EQ(f.ctx.fb.messages, QStringList{" no receive Data from ID: 9 Monitor"});
    EXPECT_EQ(f.ctx.link(1), "0");
    EXPECT_EQ(f.ctx.status, "Sending...");
    EXPECT_EQ(f.ctx.decoded.size(), 1);
}

TEST(ReadThenSetSerial, SetFrameFollowsALengthOfFiveOrMore) {
    struct Case {
        sim::Fault fault;
        bool query;
        std::vector<int> commands;
        int decodes;
        QStringList messages;
    };
    const std::vector<Case> cases{
        {sim::Fault::None, true, {0x33, 0xC0}, 1, {}},
        {sim::Fault::ShortReply, true, {0x33}, 0, {}},  // acknowledge layout, byte 4 = 4
        {sim::Fault::NeverAnswer, true, {0x33}, 0, {" no receive Data from ID: 2 Monitor"}},
        {sim::Fault::None, false, {0xC0}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(sim::FaultName(c.fault)) + (c.query ? " query" : ""));
        SerialFixture f({Config("LM-55", 2, c.fault)});
        f.ctx.decoderAnswer = false;  // over RS-232 the decoder's verdict does not matter
        f.ctx.addRow("2", "LM-55");

        EXPECT_TRUE(ReadThenSetSerial(f.ctx, 0, Builds(f.ctx, c.query, kVideoQuery), Builds(f.ctx, true, kBrightness)));

        EXPECT_EQ(f.ctx.decoded.size(), c.decodes);
        EXPECT_EQ(f.ctx.fb.messages, c.messages);
        f.line->waitForLog(c.commands.size(), 1s);
        EXPECT_EQ(Commands(f.line->log()), c.commands);
        if (c.commands.size() == 2) {
            // Each echo shows only its own reply: the query's spaced, the set's packed.
            const QRegularExpression queryReply("^21 02 00 00 0A 01 33 ([0-9A-F]{2} ){8}$");
            EXPECT_EQ(f.ctx.rxHistory.filter(queryReply).size(), 1);
            EXPECT_EQ(f.ctx.rx, HexPacked(f.ctx.reply.received()));
            EXPECT_EQ(f.ctx.reply.at(6), 0xC0);
            EXPECT_EQ(f.ctx.link(0), "Y");
        }
    }
}

TEST(SerialExchanges, LeftoversAreNoAnswerToTheNextFrame) {
    // A reply missed by SendSerial (2 s late), and the tail of one over 128 bytes.
    for (const sim::Fault fault : {sim::Fault::AnswerLate, sim::Fault::LongReply}) {
        SCOPED_TRACE(sim::FaultName(fault));
        SerialFixture f({Config("KA-55", 1, fault, 1500)});
        f.ctx.addRow("1", "KA-55");
        f.ctx.frame = fault == sim::Fault::AnswerLate ? kPowerOn : kTemperatureQuery;
        f.ctx.reply.assign(std::vector<protocol::Byte>{0xAB});

        if (fault == sim::Fault::AnswerLate) {
            EXPECT_TRUE(SendSerial(f.ctx, 0));
            EXPECT_EQ(f.ctx.reply.count, 1);  // missed: the reply buffer keeps what it had
            PumpWait(1500);                   // the late acknowledge arrives meanwhile
        } else {
            EXPECT_TRUE(QuerySerial(f.ctx, 0));
            EXPECT_EQ(f.ctx.reply.count, 128);
            EXPECT_EQ(f.ctx.reply.at(128), 0);
        }
        f.line->display(1)->setFault(sim::Fault::None);
        f.ctx.frame = kVideoQuery;
        EXPECT_TRUE(QuerySerial(f.ctx, 0));
        EXPECT_EQ(f.ctx.reply.at(0), 0x21);
        EXPECT_EQ(f.ctx.reply.at(6), 0x33);
    }
}

}  // namespace
}  // namespace dravik::transport::testing
