// Displays sharing one pseudo-terminal line, opened the way the tool opens a serial port.
#include "display-sim/serial_line.h"
#include "sim_client.h"

#include <gtest/gtest.h>

namespace dravik::sim {
namespace {

using namespace std::chrono_literals;
using testing::Hex;
using testing::Request;
using testing::SerialPort;

constexpr auto kQuiet = 300ms;

DisplayConfig Config(const char* model, int id) {
    DisplayConfig c;
    c.model = model;
    c.monitorId = id;
    return c;
}

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(line.start(&error)) << error;
        ASSERT_EQ(line.devicePath().rfind("/dev/pts/", 0), 0u) << line.devicePath();
        ASSERT_TRUE(port.open(line.devicePath()));
    }
    SerialLine line{{Config("LM-55", 1), Config("KA-55", 2), Config("KC-46D", 17)}};
    SerialPort port;
};

TEST_F(SerialLineTest, EachDisplayAnswersOnlyItsOwnId) {
    line.displayAt(1).setTemperature(-10);
    ASSERT_TRUE(port.send(Hex("A6 02 00 00 00 03 01 2F 89")));
    EXPECT_EQ(port.reply(), Hex("21 02 00 00 05 01 2F F6 00 FE"));

    ASSERT_TRUE(port.send(Request(0x2F, {}, 9)));  // nobody has ID 9
    EXPECT_TRUE(port.reply(kQuiet).empty());

    const Bytes identity = [&] {
        port.send(Request(0xA2, {0x01}, 17));
        return port.reply();
    }();
    EXPECT_EQ(std::string(identity.begin() + 7, identity.end() - 1), "KC-46D");

    const auto log = line.log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].where, line.devicePath());
    EXPECT_TRUE(log[0].answered);
    EXPECT_EQ(log[0].displayId, 2);
    EXPECT_TRUE(log[1].checksumOk);
    EXPECT_FALSE(log[1].answered);
    EXPECT_EQ(log[1].addressedId, 9);
    EXPECT_EQ(log[2].displayId, 17);
}

TEST_F(SerialLineTest, SetCommandReachesOnlyTheAddressedDisplay) {
    port.send(Request(0x22, {0x01, 0x01, 0x02, 0x11}, 2));
    EXPECT_EQ(port.reply(), ShortReplyFrame(2, 0x22, kStatusExecuted));
    EXPECT_EQ(line.display(2)->state().wall, (std::array<Byte, 4>{1, 1, 2, 0x11}));
    EXPECT_EQ(line.display(1)->state().wall, DisplayState{}.wall);
    EXPECT_EQ(line.display(5), nullptr);
}

TEST_F(SerialLineTest, BadChecksumIsNotAnswered) {
    port.send(Hex("A6 01 00 00 00 03 01 2F 8B"));
    EXPECT_TRUE(port.reply(kQuiet).empty());
    ASSERT_TRUE(line.waitForLog(1, 5s));
    EXPECT_FALSE(line.log()[0].checksumOk);
}

TEST_F(SerialLineTest, LineSurvivesTheToolClosingAndReopeningIt) {
    port.send(Request(0x31, {}, 1));
    EXPECT_EQ(port.reply().size(), 10u);
    port.close();
    ASSERT_TRUE(port.open(line.devicePath()));
    port.send(Request(0x31, {}, 1));
    EXPECT_EQ(port.reply().size(), 10u);
}

TEST_F(SerialLineTest, FaultsPerDisplay) {
    line.display(1)->setFault(Fault::LongReply);
    line.display(2)->setFault(Fault::Nav);
    line.display(17)->setFault(Fault::CloseAtOnce);  // a line cannot be closed: silence

    port.send(Request(0x2F, {}, 1));
    const Bytes longReply = port.reply();
    EXPECT_GT(longReply.size(), kSerialReplyLimit);
    port.send(Request(0x30, {0x10}, 2));
    EXPECT_EQ(port.reply(), ShortReplyFrame(2, 0x30, kStatusNav));
    EXPECT_EQ(line.display(2)->state().backlight, DisplayState{}.backlight);
    port.send(Request(0x2F, {}, 17));
    EXPECT_TRUE(port.reply(kQuiet).empty());
}

TEST(SerialLine, StopIsSafeTwiceAndBeforeStart) {
    SerialLine line({Config("LM-55", 1)});
    line.stop();
    ASSERT_TRUE(line.start());
    line.stop();
    line.stop();
    EXPECT_FALSE(line.running());
}

}  // namespace
}  // namespace dravik::sim
