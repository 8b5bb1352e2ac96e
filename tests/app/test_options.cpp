// The window's command line, the scan range and the remembered settings.
#include "app/command_line.h"
#include "app/limited_scan.h"
#include "app/settings.h"

#include "dravik_version.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace dravik::app {
namespace {

ParseOutcome Parse(QStringList args) {
    args.prepend(QStringLiteral("dravik-command-tool"));
    return ParseCommandLine(args);
}

TEST(CommandLine, EachOptionIsTaken) {
    const auto o = Parse({"--demo", "--list", "/tmp/lists", "--port", "/dev/pts/3", "--serial", "--scan-range",
                          "127.0.0.2-127.0.0.9", "--trace", "/tmp/t.log"});
    ASSERT_FALSE(o.exitCode) << o.err.toStdString();
    EXPECT_TRUE(o.options.demo);
    EXPECT_EQ(o.options.list, "/tmp/lists");
    EXPECT_EQ(o.options.port, "/dev/pts/3");
    EXPECT_EQ(o.options.interface, StartInterface::Serial);
    ASSERT_TRUE(o.options.scanRange);
    EXPECT_EQ(o.options.scanRange->FirstText(), "127.0.0.2");
    EXPECT_EQ(o.options.trace, "/tmp/t.log");

    const auto none = Parse({});
    ASSERT_FALSE(none.exitCode);
    EXPECT_FALSE(none.options.demo);
    EXPECT_EQ(none.options.interface, StartInterface::Remembered);
    EXPECT_FALSE(none.options.scanRange);
    EXPECT_EQ(Parse({"--lan"}).options.interface, StartInterface::Lan);
}

TEST(CommandLine, HelpAndVersionEndAtOnce) {
    const auto v = Parse({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_EQ(v.out, QStringLiteral("dravik-command-tool ") + DRAVIK_VERSION + "\n");
    EXPECT_EQ(QString(DRAVIK_VERSION), "1.3.33");
    const auto h = Parse({"--help"});
    EXPECT_EQ(h.exitCode, 0);
    for (const char* option : {"--demo", "--list", "--port", "--lan", "--serial", "--scan-range", "--trace", "--version"})
        EXPECT_TRUE(h.out.contains(option)) << option;
}

TEST(CommandLine, MistakesExitTwoWithAMessage) {
    const std::vector<std::pair<QStringList, QString>> cases{
        {{"--bogus"}, "bogus"},
        {{"stray"}, "stray"},
        {{"--lan", "--serial"}, "--lan and --serial"},
        {{"--port"}, "port"},
        {{"--scan-range", "10.0.0.9-10.0.0.1"}, "--scan-range"},
        {{"--scan-range", "127.0.0"}, "--scan-range"},
        {{"--scan-range", "1.2.3.4-5.6.7.8-9.9.9.9"}, "--scan-range"},
        {{"--demo", "--scan-range", "192.168.1.1-192.168.1.9"}, "loopback"},
        {{"--list", ""}, "--list"},
    };
    for (const auto& [args, needle] : cases) {
        const auto o = Parse(args);
        EXPECT_EQ(o.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(o.err.contains(needle)) << o.err.toStdString();
        EXPECT_TRUE(o.out.isEmpty());
    }
}

TEST(ScanRange, ParseAndContain) {
    const auto r = ParseScanRange("127.0.0.2-127.0.0.9");
    ASSERT_TRUE(r);
    const std::vector<std::pair<QString, bool>> cases{
        {"127.0.0.1", false}, {"127.0.0.2", true}, {"127.0.0.9", true}, {"127.0.0.10", false},
        {"192.168.1.5", false}, {"", false}, {"127.0.0.5x", false},
    };
    for (const auto& [address, in] : cases) EXPECT_EQ(r->Contains(address), in) << address.toStdString();
    const auto single = ParseScanRange("127.0.0.4");
    ASSERT_TRUE(single);
    EXPECT_TRUE(single->Contains(QStringLiteral("127.0.0.4")));
    EXPECT_FALSE(single->Contains(QStringLiteral("127.0.0.5")));
}

// Records what the limited scan lets through to the real backends.
struct RecordingPresence : discovery::PresenceProbe {
    std::vector<std::string> asked;
    discovery::Presence Test(const std::string& a, std::chrono::milliseconds, const discovery::StopSignal&) override {
        asked.push_back(a);
        return discovery::Presence::Present;
    }
};
struct RecordingIdentity : discovery::IdentityClient {
    std::vector<std::string> asked;
    std::unique_ptr<discovery::IdentitySession> Connect(const std::string& a, std::uint16_t, std::chrono::milliseconds,
                                                        const discovery::StopSignal&) override {
        asked.push_back(a);
        return nullptr;
    }
};

TEST(LimitedScan, NoProbeLeavesTheRange) {
    for (const bool withRange : {true, false}) {
        auto presence = std::make_shared<RecordingPresence>();
        auto identity = std::make_shared<RecordingIdentity>();
        const auto limited = LimitScan({presence, identity}, withRange ? ParseScanRange("127.0.0.2-127.0.0.3") : std::nullopt);
        discovery::StopSignal stop;
        for (int host = 1; host <= 254; ++host) {
            const std::string a = "127.0.0." + std::to_string(host);
            const auto p = limited.presence->Test(a, std::chrono::milliseconds(0), stop);
            EXPECT_EQ(p == discovery::Presence::Present, withRange && (host == 2 || host == 3)) << a;
            limited.identity->Connect(a, 5000, std::chrono::milliseconds(0), stop);
        }
        const std::vector<std::string> expected =
            withRange ? std::vector<std::string>{"127.0.0.2", "127.0.0.3"} : std::vector<std::string>{};
        EXPECT_EQ(presence->asked, expected);
        EXPECT_EQ(identity->asked, expected);
    }
}

// Settings under a temporary XDG_CONFIG_HOME, never the user's.
struct SettingsFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
        // Qt keeps the first user path it computed; point it here explicitly.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    QTemporaryDir dir;
};

TEST_F(SettingsFixture, RoundTripAndDemoKeptApart) {
    ToolSettings values;
    values.lan = false;
    values.port = "/dev/pts/7";
    values.folder = "/tmp/lists";
    values.geometry = QByteArray("\x01\xD9\xD0\xCB\x00", 5);
    {
        auto s = OpenToolSettings(false);
        EXPECT_TRUE(s->fileName().startsWith(dir.path())) << s->fileName().toStdString();
        SaveToolSettings(*s, values);
    }
    QStringList problems;
    auto s = OpenToolSettings(false);
    EXPECT_EQ(LoadToolSettings(*s, problems), values);
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
    auto demo = OpenToolSettings(true);
    EXPECT_NE(demo->fileName(), s->fileName());
    EXPECT_EQ(LoadToolSettings(*demo, problems), ToolSettings{});  // missing: defaults, no message
    EXPECT_TRUE(problems.isEmpty());
}

TEST_F(SettingsFixture, DamagedFileIsIgnoredWithAMessageAndReplaced) {
    const std::vector<QByteArray> damaged{
        QByteArray("\x00\xFF\xFE[[[=\n\x01\x02", 11),
        "[General]\ninterface=\"unterminated\n",
        "[General]\ninterface=banana\nserial\\port=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x1a)\nwindow\\geometry=12\n",
        "[General]\nserial\\port=ttyS0\\x1b[31m\n",
    };
    for (const QByteArray& content : damaged) {
        SCOPED_TRACE(content.toStdString());
        QString path;
        {
            auto s = OpenToolSettings(false);
            path = s->fileName();
        }
        QFile::remove(path);
        QDir().mkpath(QFileInfo(path).path());
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QStringList problems;
        auto s = OpenToolSettings(false);
        const ToolSettings loaded = LoadToolSettings(*s, problems);
        EXPECT_FALSE(loaded.lan && !*loaded.lan);
        EXPECT_FALSE(loaded.port.contains(QChar(0x1B)));
        // Saving afterwards leaves a file the next run reads cleanly.
        ToolSettings values;
        values.lan = true;
        values.port = "ttyS1";
        SaveToolSettings(*s, values);
        s.reset();
        QStringList again;
        auto reread = OpenToolSettings(false);
        EXPECT_EQ(LoadToolSettings(*reread, again).port, "ttyS1");
        EXPECT_TRUE(again.isEmpty()) << again.join('\n').toStdString();
    }
}

TEST_F(SettingsFixture, UnreadableFileIsIgnoredWithAMessage) {
    QString path;
    {
        auto s = OpenToolSettings(false);
        path = s->fileName();
        SaveToolSettings(*s, ToolSettings{true, "ttyS0", "/tmp", {}});
    }
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    if (QFileInfo(path).isReadable()) GTEST_SKIP() << "running as root: every file is readable";
    QStringList problems;
    auto s = OpenToolSettings(false);
    EXPECT_EQ(LoadToolSettings(*s, problems), ToolSettings{});
    EXPECT_FALSE(problems.isEmpty());
}

}  // namespace
}  // namespace dravik::app
