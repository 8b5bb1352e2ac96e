// Bad input: one line on standard error, exit status 2, nothing sent.
#include "ctl_helpers.h"

#include "dravikctl/cli_options.h"

#include <cstdio>
#include <fstream>

namespace dravik::ctl::testing {
namespace {

struct UsageCase {
    std::vector<std::string> args;
    std::string message;  // part of the error line
};

class UsageErrors : public ::testing::TestWithParam<UsageCase> {};

TEST_P(UsageErrors, OneLineOnStandardErrorAndStatusTwo) {
    const CtlRun o = Ctl(GetParam().args);
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_TRUE(o.out.empty()) << o.out;
    EXPECT_EQ(o.errLines(), 1) << o.err;
    EXPECT_NE(o.err.find(GetParam().message), std::string::npos) << o.err;
    EXPECT_EQ(o.err.rfind("dravikctl: ", 0), 0u) << o.err;
}

const std::string kIp = "127.0.8.250";  // never listened on: nothing may get this far

INSTANTIATE_TEST_SUITE_P(
    Cases, UsageErrors,
    ::testing::Values(
        UsageCase{{}, "no subcommand"},
        UsageCase{{"launch"}, "unknown subcommand"},
        UsageCase{{"--ip", kIp, "send"}, "subcommand comes first"},
        UsageCase{{"send", "on"}, "no displays"},
        UsageCase{{"send", "on", "off", "--ip", kIp}, "takes one command"},
        UsageCase{{"send", "sleep", "--ip", kIp}, "unknown command 'sleep'"},
        UsageCase{{"send", "on", "--ip", kIp, "--bogus"}, "unknown option --bogus"},
        UsageCase{{"send", "on", "-x", "--ip", kIp}, "unknown option -x"},
        UsageCase{{"send", "on", "--ip"}, "--ip needs a value"},
        UsageCase{{"frame", "hdmi1", "--model", "XY-99"}, "unknown model 'XY-99'"},
        UsageCase{{"send", "hdmi1", "--ip", kIp, "--model", "lm-43"}, "unknown model 'lm-43'"},
        UsageCase{{"frame", "hdmi1"}, "'hdmi1' needs --model"},
        UsageCase{{"send", "hdmi1", "--ip", kIp}, "needs --model for 'hdmi1'"},
        UsageCase{{"send", "on", "--ip", "300.1.1.1"}, "not an IPv4 address or host name"},
        UsageCase{{"send", "on", "--ip", "10.0.0"}, "not an IPv4 address or host name"},
        UsageCase{{"send", "on", "--ip", "display_1"}, "not an IPv4 address or host name"},
        UsageCase{{"send", "on", "--ip", kIp, "--id", "256"}, "monitor ID from 0 to 255"},
        UsageCase{{"send", "on", "--ip", kIp, "--id", "3", "--id", "4"}, "given twice"},
        UsageCase{{"send", "temperature", "--ip", kIp, "--model", "KA-55"}, "use 'dravikctl query temperature'"},
        UsageCase{{"query", "volume", "--ip", kIp, "--model", "KA-55"}, "unknown query 'volume'"},
        UsageCase{{"send", "backlight", "--ip", kIp, "--model", "KA-55"}, "'backlight' needs --level"},
        UsageCase{{"send", "backlight", "--ip", kIp, "--model", "KA-55", "--level", "x"}, "whole number"},
        UsageCase{{"send", "ir-lock", "--ip", kIp, "--model", "KA-55", "--key-lock", "on"}, "needs --ir-lock"},
        UsageCase{{"send", "gains", "--ip", kIp, "--model", "KA-55"}, "needs --rgb"},
        UsageCase{{"send", "gains", "--ip", kIp, "--model", "KA-55", "--rgb", "1,2,256"}, "R,G,B"},
        UsageCase{{"frame", "on", "--level", "5"}, "--level does not apply to 'on'"},
        UsageCase{{"frame", "wall-settings", "--model", "KA-55", "--matrix", "6x1"}, "COLUMNSxROWS"},
        UsageCase{{"frame", "frame", "--ip", kIp}, "--ip does not apply to 'frame'"},
        UsageCase{{"send", "on", "--ip", kIp, "--parallel", "0"}, "--parallel"},
        UsageCase{{"raw", "A6 01 0G 00"}, "malformed hex frame"},
        UsageCase{{"raw", "--ip", kIp}, "needs the frame in hex"},
        UsageCase{{"raw", "A6 01 00 00", "--ip", kIp}, "too short"},
        UsageCase{{"raw", "A6 01 00 00 00 04 01 18", "--ip", kIp}, "calls for 9 bytes"},
        UsageCase{{"raw", "A6 01 00 00 00 0B 01 18 02", "--ip", kIp}, "over 0A"},
        UsageCase{{"raw", "A6 01 00 00 00 04 01 18 02", "--ip", kIp, "--id", "3"}, "--id does not apply"},
        UsageCase{{"send", "on", "--list", "/nonexistent/MO_IP.log"}, "cannot read the list file"},
        UsageCase{{"send", "on", "--list", "/nonexistent/targets.bin"}, "--mode lan or --mode serial"},
        UsageCase{{"send", "on", "--list", "/nonexistent/MO_ID.log"}, "cannot read"},
        UsageCase{{"send", "on", "--ip", kIp, "--device", "/dev/pts/0"}, "--device"}));

TEST(DravikCtlUsage, BadInputSendsNothing) {
    auto display = StartLan("127.0.8.1", Config("KA-55"));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"send", "on", "--ip", "127.0.8.1", "--ip", "1.2.3"},
             {"send", "hdmi1", "--ip", "127.0.8.1", "--model", "KA-55", "--ip", "127.0.8.1", "--model", "NOPE"},
             {"raw", "A6 01 00 00 00 04 01 18 ZZ", "--ip", "127.0.8.1"},
             {"send", "on", "--ip", "127.0.8.1", "--list", "/nonexistent/MO_IP.log"}}) {
        EXPECT_EQ(Ctl(args).status, kExitUsage);
    }
    EXPECT_TRUE(display->log().empty());
}

TEST(DravikCtlUsage, ListFileWithABadAddressIsRefusedBeforeSending) {
    auto display = StartLan("127.0.8.2", Config("KA-55"));
    const std::string path = ::testing::TempDir() + "dravikctl_bad_MO_IP.log";
    {
        // Header, then a good row and a row whose address is no address.
        std::string bytes(90, '\0');
        bytes.replace(0, 1, "1");
        bytes.replace(16, 1, "1");
        bytes.replace(30, 9, "127.0.8.2");
        bytes.replace(46, 5, "KA-55");
        bytes.replace(58, 1, "1");
        bytes.replace(60, 6, "10.0.0");
        std::ofstream(path, std::ios::binary) << bytes;
    }
    const CtlRun o = Ctl({"send", "on", "--list", path, "--mode", "lan"});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("row 2"), std::string::npos) << o.err;
    EXPECT_TRUE(display->log().empty());
    std::remove(path.c_str());
}

TEST(DravikCtlUsage, AddressTexts) {
    struct Case {
        std::string text;
        bool ok;
    };
    for (const Case& c : std::vector<Case>{{"127.0.8.1", true},
                                           {"0.0.0.0", true},
                                           {"255.255.255.255", true},
                                           {"display-3.lan", true},
                                           {"localhost", true},
                                           {"wall.", true},
                                           {"256.0.0.1", false},
                                           {"1.2.3", false},
                                           {"1.2.3.4.5", false},
                                           {"1..2.3", false},
                                           {"", false},
                                           {"-lead.example", false},
                                           {"a_b", false},
                                           {"host.123", false},
                                           {std::string(300, 'a'), false}}) {
        EXPECT_EQ(IsAddressText(c.text), c.ok) << c.text;
    }
}

// How a display named on the command line becomes the run's target: its own --model, --id
// and --pos win over those before the first display, the ID is 1 when none is named, and
// the texts are UTF-8 whatever the argument held.
TEST(DravikCtlUsage, CommandLineDisplaysBecomeTargets) {
    using targets::Interface;
    const auto lan = [](std::string address, std::string model, std::string id, std::string pos) {
        return targets::Target{Interface::Lan, std::move(address), std::move(model), std::move(id), std::move(pos), ""};
    };
    const auto serial = [](std::string device, std::string model, std::string id) {
        return targets::Target{Interface::Serial, "", std::move(model), std::move(id), "", std::move(device)};
    };
    struct Case {
        std::vector<std::string> args;
        std::vector<targets::Target> targets;
        std::vector<std::string> labels;
    };
    for (const Case& c : std::vector<Case>{
             {{"send", "on", "--ip", "127.0.91.1"}, {lan("127.0.91.1", "", "1", "")}, {"127.0.91.1"}},
             {{"send", "hdmi1", "--model", "KA-55", "--id", "4", "--ip", "127.0.91.1", "--ip", "display-2.lan", "--id",
               "007", "--model", "LM-55"},
              {lan("127.0.91.1", "KA-55", "4", ""), lan("display-2.lan", "LM-55", "7", "")},
              {"127.0.91.1", "display-2.lan"}},
             {{"query", "temperature", "--serial", "/dev/ttyS9", "--id", "12", "--model", "KA-55", "--serial",
               "/dev/ttyS9"},
              {serial("/dev/ttyS9", "KA-55", "12"), serial("/dev/ttyS9", "", "1")},
              {"ID 12", "ID 1"}},
             {{"wall", "settings", "--pos", "3", "--ip", "127.0.91.2", "--ip", "127.0.91.3", "--pos", "0"},
              {lan("127.0.91.2", "", "1", "3"), lan("127.0.91.3", "", "1", "0")},
              {"127.0.91.2", "127.0.91.3"}},
             // A byte no UTF-8 text holds shows as U+FFFD.
             {{"send", "on", "--serial", "/dev/tty\xff" "9", "--id", "0"},
              {serial("/dev/tty\xef\xbf\xbd" "9", "", "0")},
              {"ID 0"}},
         }) {
        const ParseResult parsed = ParseCommandLine(c.args);
        ASSERT_TRUE(parsed.ok) << c.args[1] << ": " << parsed.error;
        ASSERT_EQ(parsed.options.targets.size(), c.targets.size()) << c.args[1];
        for (std::size_t i = 0; i < c.targets.size(); ++i) {
            const targets::Target t = TargetOf(parsed.options.targets[i], parsed.options);
            EXPECT_EQ(t, c.targets[i]) << c.args[1] << " display " << i << ": " << t.label() << " " << t.device;
            EXPECT_EQ(t.label(), c.labels[i]) << c.args[1] << " display " << i;
        }
    }
}

TEST(DravikCtlUsage, HelpForItselfAndEverySubcommand) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-h"}, {"help"}, {"frame", "--help"}, {"send", "-h"}, {"query", "--help"},
             {"raw", "--help"}, {"help", "send"}}) {
        const CtlRun o = Ctl(args);
        EXPECT_EQ(o.status, kExitOk) << args.front();
        EXPECT_EQ(o.out.rfind("Usage: dravikctl", 0), 0u) << o.out;
        EXPECT_TRUE(o.err.empty());
    }
    EXPECT_NE(Ctl({"send", "--help"}).out.find("--parallel N"), std::string::npos);
}

}  // namespace
}  // namespace dravik::ctl::testing
