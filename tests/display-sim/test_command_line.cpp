// The dravik-display-sim command: its options, and the command itself run as a process.
#include "display-sim/command_line.h"
#include "sim_client.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace dravik::sim {
namespace {

using namespace std::chrono_literals;
using testing::Request;

bool Parse(std::vector<std::string> args, CommandLine& cl, std::string& error) {
    return ParseCommandLine(args, cl, error);
}

TEST(CommandLine, AcceptsDisplaysWithTheSettingsBeforeThem) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        std::function<void(const CommandLine&)> check;
    } cases[] = {
        {"lan with defaults", {"--lan", "127.0.0.2,LM-55"},
         [](const CommandLine& cl) {
             ASSERT_EQ(cl.lan.size(), 1u);
             EXPECT_EQ(cl.lan[0].address, "127.0.0.2");
             EXPECT_EQ(cl.lan[0].port, 5000);
             EXPECT_EQ(cl.lan[0].display.config.model, "LM-55");
             EXPECT_EQ(cl.lan[0].display.config.monitorId, 1);
         }},
        {"port, id and own fault", {"--lan", "127.0.0.2:5100,KA-55,12@late:1500"},
         [](const CommandLine& cl) {
             EXPECT_EQ(cl.lan.at(0).port, 5100);
             EXPECT_EQ(cl.lan[0].display.config.monitorId, 12);
             EXPECT_EQ(cl.lan[0].display.config.fault, Fault::AnswerLate);
             EXPECT_EQ(cl.lan[0].display.config.lateMs, 1500);
         }},
        {"settings apply to what follows only",
         {"--lan", "127.0.0.2,LM-55", "--fault", "nack", "--maker-prefix", "--temperature", "-5", "--lan",
          "127.0.0.3,LM-65,2"},
         [](const CommandLine& cl) {
             ASSERT_EQ(cl.lan.size(), 2u);
             EXPECT_EQ(cl.lan[0].display.config.fault, Fault::None);
             EXPECT_FALSE(cl.lan[0].display.temperature);
             EXPECT_EQ(cl.lan[1].display.config.fault, Fault::Nack);
             EXPECT_TRUE(cl.lan[1].display.config.makerPrefix);
             EXPECT_EQ(cl.lan[1].display.temperature, -5);
         }},
        {"one serial line, several displays", {"--fault", "nav", "--serial", "LM-55:1,KC-46D:17@none", "--log"},
         [](const CommandLine& cl) {
             ASSERT_EQ(cl.serial.size(), 1u);
             ASSERT_EQ(cl.serial[0].displays.size(), 2u);
             EXPECT_EQ(cl.serial[0].displays[0].config.fault, Fault::Nav);
             EXPECT_EQ(cl.serial[0].displays[1].config.model, "KC-46D");
             EXPECT_EQ(cl.serial[0].displays[1].config.monitorId, 17);
             EXPECT_EQ(cl.serial[0].displays[1].config.fault, Fault::None);
             EXPECT_TRUE(cl.logFrames);
         }},
        {"a bench address when allowed", {"--allow-any-address", "--lan", "192.0.2.7,LM-55"},
         [](const CommandLine& cl) { EXPECT_TRUE(cl.allowAnyAddress); }},
        {"help wins", {"--lan", "10.0.0.1,LM-55", "--help"}, [](const CommandLine& cl) { EXPECT_TRUE(cl.help); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CommandLine cl;
        std::string error;
        ASSERT_TRUE(Parse(c.args, cl, error)) << error;
        c.check(cl);
    }
}

TEST(CommandLine, RefusesWithAOneLineReason) {
    const std::vector<std::vector<std::string>> cases = {
        {"--lan", "192.0.2.7,LM-55"},            // outside loopback
        {"--lan", "127.0.0.2"},                  // no model
        {"--lan", "127.0.0.2:0,LM-55"},          // port
        {"--lan", "127.0.0.2,LM-55,256"},        // ID
        {"--serial", "LM-55"},                   // no ID
        {"--fault", "sometimes", "--lan", "127.0.0.2,LM-55"},
        {"--fault", "nack:5", "--lan", "127.0.0.2,LM-55"},
        {"--temperature", "200", "--lan", "127.0.0.2,LM-55"},
        {"--lan", "127.0.0.2,LM-55", "--fault", "nack"},  // a setting with no display after it
        {"--lan"},
        {"--quiet"},                             // nothing to simulate
        {"--bogus"},
    };
    for (const auto& args : cases) {
        CommandLine cl;
        std::string error;
        EXPECT_FALSE(Parse(args, cl, error)) << args[0];
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

// Runs the command with stdout and stderr on pipes.
class Command {
public:
    explicit Command(std::vector<std::string> args) {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::close(out[0]);
            ::close(err[0]);
            std::vector<char*> argv{const_cast<char*>(DRAVIK_DISPLAY_SIM_EXE)};
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }
    ~Command() {
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
    }

    // Next line of stdout (or stderr), "" after `wait` or at EOF.
    std::string line(bool fromStderr = false, std::chrono::milliseconds wait = 10s) {
        const int fd = fromStderr ? err_ : out_;
        std::string s;
        char c;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0 || ::read(fd, &c, 1) != 1 || c == '\n') return s;
            s.push_back(c);
        }
    }
    void signal(int sig) { ::kill(pid_, sig); }
    int exitCode() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
    int status_ = -1;
};

TEST(DisplaySimCommand, AnswersOverLanAndSerialAndStopsCleanly) {
    Command cmd({"--quiet", "--temperature", "-10", "--lan", "127.0.3.201,LM-55,1", "--serial", "LM-55:1,KA-55:2"});
    const std::string first = cmd.line();
    ASSERT_EQ(first.rfind("serial: /dev/pts/", 0), 0u) << first;
    const std::string path = first.substr(8);

    EXPECT_EQ(testing::Exchange("127.0.3.201", Request(0x2F, {})), testing::Hex("21 01 00 00 05 01 2F F6 00 FD"));
    testing::SerialPort port;
    ASSERT_TRUE(port.open(path));
    port.send(Request(0x2F, {}, 2));
    EXPECT_EQ(port.reply().size(), 10u);

    cmd.signal(SIGTERM);
    EXPECT_EQ(cmd.exitCode(), 0);
}

TEST(DisplaySimCommand, LogsFramesAsTheyArrive) {
    Command cmd({"--log", "--lan", "127.0.3.202,KA-55,4"});
    EXPECT_EQ(cmd.line(), "lan: 127.0.3.202:5000 KA-55 ID 4");
    testing::Exchange("127.0.3.202", testing::Hex("A6 04 00 00 00 03 01 31 91"));
    EXPECT_NE(cmd.line().find("127.0.3.202:5000 A6 04 00 00 00 03 01 31 91  ok, answered by ID 4"), std::string::npos);
    cmd.signal(SIGINT);
    EXPECT_EQ(cmd.exitCode(), 0);
}

TEST(DisplaySimCommand, RefusesNonLoopbackAddressWithExitCode2) {
    Command cmd({"--lan", "192.0.2.7,LM-55"});
    EXPECT_NE(cmd.line(true).find("127.0.0.0/8"), std::string::npos);
    EXPECT_EQ(cmd.line(true), "");  // one line only
    EXPECT_EQ(cmd.exitCode(), 2);
}

TEST(CommandLine, HelpNamesEveryOption) {
    const std::string text = UsageText();
    for (const char* option : {"--lan", "--serial", "--fault", "--maker-prefix", "--identity", "--tag",
                               "--strict-id", "--temperature", "--hours", "--allow-any-address", "--log",
                               "--quiet", "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace dravik::sim
