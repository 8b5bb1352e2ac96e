// The installed command itself: exit statuses and output of the process.
#include "ctl_helpers.h"

#include <QProcess>

namespace dravik::ctl::testing {
namespace {

struct ProcessCase {
    QStringList args;
    int status;
    QString outStart;  // what standard output starts with
};

TEST(DravikCtlBinary, ExitStatusesOfTheProcess) {
    auto display = StartLan("127.0.8.60", Config("KA-55Q", 2));
    const std::vector<ProcessCase> cases = {
        {{"--help"}, kExitOk, "Usage: dravikctl"},
        {{"query", "--help"}, kExitOk, "Usage: dravikctl query"},
        {{"send"}, kExitUsage, ""},
        {{"send", "on", "--ip", "127.0.8.60", "--id", "2", "--json"}, kExitOk, "{"},
        {{"query", "temperature", "--ip", "127.0.8.60", "--model", "KA-55Q", "--id", "2"}, kExitOk, "127.0.8.60"},
        {{"send", "on", "--ip", "127.0.8.61"}, kExitNothingReached, "127.0.8.61"},
        {{"raw", "A6 02 00 00 00 04 01 18 01", "--ip", "127.0.8.60"}, kExitOk, "127.0.8.60"},
    };
    for (const ProcessCase& c : cases) {
        QProcess p;
        p.start(QStringLiteral(DRAVIKCTL_EXE), c.args);
        ASSERT_TRUE(p.waitForFinished(60000)) << c.args.join(' ').toStdString();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), c.status) << c.args.join(' ').toStdString() << "\n" << err.toStdString();
        if (!c.outStart.isEmpty()) {
            EXPECT_TRUE(out.startsWith(c.outStart)) << c.args.join(' ').toStdString() << "\n" << out.toStdString();
        }
        if (c.status == kExitUsage) {
            EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << err.toStdString();
        }
    }
    EXPECT_EQ(Hex(display->log()), (std::vector<std::string>{"A6 02 00 00 00 04 01 18 02 BB",
                                                             "A6 02 00 00 00 03 01 2F 89",
                                                             "A6 02 00 00 00 04 01 18 01 B8"}));
}

}  // namespace
}  // namespace dravik::ctl::testing
