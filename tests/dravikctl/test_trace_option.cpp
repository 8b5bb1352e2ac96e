// dravikctl --trace FILE: the window's trace lines, appended to the file, for any subcommand;
// a missing or unwritable file is a usage error and nothing is sent.
#include "ctl_helpers.h"

#include <QFile>
#include <QTemporaryDir>

namespace dravik::ctl::testing {
namespace {

QStringList TraceLines(const QString& path, const QString& category) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(category.toUtf8())) out << QString::fromUtf8(line);
    return out;
}

TEST(DravikCtlTrace, FramesRepliesAndOutcomesGoToTheFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto lan = StartLan("127.0.99.20", Config("KA-55", 1));
    auto line = StartLine({Config("KA-55", 3)});
    struct Case {
        std::vector<std::string> args;
        QString channel;   // "dravik.lan" / "dravik.serial"
        QString target;    // as the lines name it
    };
    const std::vector<Case> cases{
        {{"query", "temperature", "--ip", "127.0.99.20", "--id", "1", "--model", "KA-55"}, "dravik.lan", "127.0.99.20"},
        {{"query", "temperature", "--serial", line->devicePath(), "--id", "3", "--model", "KA-55"}, "dravik.serial",
         QString::fromStdString(line->devicePath())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.channel.toStdString());
        const QString path = dir.filePath(c.channel + ".log");
        for (const std::string& form : {std::string("split"), std::string("joined")}) {
            std::vector<std::string> args = c.args;
            if (form == "split") {
                args.insert(args.begin(), {"--trace", path.toStdString()});
            } else {
                args.push_back("--trace=" + path.toStdString());
            }
            const CtlRun o = Ctl(args);
            EXPECT_EQ(o.status, 0) << o.err;
        }
        // Two runs, appended: each a frame out, its reply back and the display's outcome.
        const QStringList frames = TraceLines(path, c.channel + " ");
        ASSERT_EQ(frames.size(), 4) << frames.join('\n').toStdString();
        for (int i = 0; i < 4; ++i) {
            const bool tx = i % 2 == 0;
            EXPECT_TRUE(frames[i].contains((tx ? " tx " : " rx ") + QFileInfo(c.target).fileName()) ||
                        frames[i].contains((tx ? " tx " : " rx ") + c.target))
                << frames[i].toStdString();
            EXPECT_TRUE(frames[i].endsWith(tx ? "sent" : "received")) << frames[i].toStdString();
        }
        const QStringList outcomes = TraceLines(path, "dravik.flow ");
        ASSERT_EQ(outcomes.size(), 2) << outcomes.join('\n').toStdString();
        for (const QString& l : outcomes) EXPECT_TRUE(l.endsWith("replied")) << l.toStdString();
    }
}

TEST(DravikCtlTrace, BadTraceFileIsAUsageErrorAndSendsNothing) {
    auto lan = StartLan("127.0.99.21", Config("KA-55", 1));
    const std::vector<std::string> send{"send", "on", "--ip", "127.0.99.21", "--model", "KA-55"};
    struct Case {
        std::vector<std::string> trace;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--trace"}, "--trace needs a file"},
        {{"--trace="}, "--trace needs a file"},
        {{"--trace", "/nonexistent-dir/trace.log"}, "cannot write the trace file /nonexistent-dir/trace.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args = send;
        args.insert(args.end(), c.trace.begin(), c.trace.end());
        const CtlRun o = Ctl(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_EQ(o.errLines(), 1) << o.err;
    }
    EXPECT_TRUE(lan->log().empty());
}

}  // namespace
}  // namespace dravik::ctl::testing
