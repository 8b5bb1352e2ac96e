// The COM port and its "COM Port Settings" box against pseudo-terminal lines of simulated
// displays: which texts open a port, the search, open and close with their messages.
#include "ui/com_port.h"

#include "sim_helpers.h"

#include <QStringList>

namespace dravik::transport::testing {
namespace {

using ui::ComPortController;
using ui::ComPortView;
using ui::Feedback;

const QString kMissingPty = "/dev/pts/987654";

class RecordingFeedback : public Feedback {
public:
    void message(const QString& text) override { messages << text; }
    bool ask(const QString&) override { return true; }
    void beep() override { ++beeps; }
    QStringList messages;
    int beeps = 0;
};

TEST(SerialPortMoved, OpensOnlySerialDevicesAndEachOnce) {
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

TEST(ComPortControllerMoved, SearchOpenClose) {
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

TEST(ComPortControllerMoved, FailedOpens) {
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

}  // namespace
}  // namespace dravik::transport::testing
