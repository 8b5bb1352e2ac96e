// send, query and raw against simulated displays on loopback and on pseudo-terminal lines.
// Addresses: each test its own within 127.0.8.10 .. 127.0.8.99 (10-16 send, 20-22 query,
// 25 raw, 40-41 lists, 70-81 parallel; 60-61 are the process test's).
#include "ctl_helpers.h"

#include "targets/records.h"

#include <QJsonArray>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace dravik::ctl::testing {
namespace {

std::string Addr(int n) { return "127.0.8." + std::to_string(n); }

// The files keep the tool's names (the name tells the interface), each test in its own folder.
std::string WriteFile(const std::string& name, const protocol::Bytes& bytes) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("dravikctl_" + std::to_string(::getpid()) + "_" + test->name());
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(DravikCtlSend, OnReachesEachDisplayInOrderAndReportsTheUnreachable) {
    auto a = StartLan(Addr(10), Config("KA-55"));
    auto c = StartLan(Addr(12), Config("LM-55"));
    // 127.0.8.11 has no display: the connection is refused, the next display is still tried.
    const CtlRun o = Ctl({"send", "on", "--ip", Addr(10), "--id", "5", "--ip", Addr(11), "--ip", Addr(12), "--id", "12"});
    EXPECT_EQ(o.status, kExitFailed);
    const auto lines = o.lines();
    ASSERT_EQ(lines.size(), 3u) << o.out;
    EXPECT_EQ(lines[0].rfind(Addr(10), 0), 0u);
    EXPECT_NE(lines[0].find("A6 05 00 00 00 04 01 18 02 BC  LINK Y  ok"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("LINK N  connect-refused (Connection refused)"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("A6 0C 00 00 00 04 01 18 02 B5  LINK Y  ok"), std::string::npos) << lines[2];
    EXPECT_EQ(Hex(a->log()), std::vector<std::string>{"A6 05 00 00 00 04 01 18 02 BC"});
    EXPECT_EQ(Hex(c->log()), std::vector<std::string>{"A6 0C 00 00 00 04 01 18 02 B5"});
}

TEST(DravikCtlSend, ModelChoosesTheFrameAndRefusedModelsGetNothing) {
    auto nfb = StartLan(Addr(13), Config("NFB-6502"));
    auto ka = StartLan(Addr(14), Config("KA-55"));
    CtlRun o = Ctl({"send", "off", "--ip", Addr(13), "--model", "NFB-6502", "--ip", Addr(14), "--model", "KA-55"});
    EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
    EXPECT_EQ(Hex(nfb->log()), std::vector<std::string>{"A6 01 00 00 00 04 01 A8 00 0A"});
    EXPECT_EQ(Hex(ka->log()), std::vector<std::string>{"A6 01 00 00 00 04 01 18 01 BB"});

    nfb->clearLog();
    ka->clearLog();
    o = Ctl({"send", "hdmi2", "--ip", Addr(13), "--model", "KC-55D3", "--ip", Addr(14), "--model", "KA-55", "--json"});
    EXPECT_EQ(o.status, kExitFailed);
    EXPECT_TRUE(nfb->log().empty());
    EXPECT_EQ(ka->log().size(), 1u);
    const auto json = o.json();
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["outcome"].toString(), "refused-for-model");
    EXPECT_EQ(json[0]["refusal"].toString(), "KC-55D3 No This Function or unsupported !");
    EXPECT_FALSE(json[0]["ok"].toBool());
    EXPECT_TRUE(json[0]["frames"].toArray().isEmpty());
    EXPECT_TRUE(json[1]["ok"].toBool());
    EXPECT_EQ(json[1]["frames"].toArray().at(0).toString(), "A6 01 00 00 00 07 01 AC 05 01 00 00 09");
    // The message box of the window becomes a line on standard error.
    EXPECT_NE(o.err.find(Addr(13) + ": KC-55D3 No This Function or unsupported !\n"), std::string::npos) << o.err;

    // Silent: nothing sent, nothing shown, and the display did not do what was asked.
    o = Ctl({"send", "backlight", "--level", "70", "--ip", Addr(14), "--model", "LM-43"});
    EXPECT_EQ(o.status, kExitFailed);
    EXPECT_NE(o.out.find("nothing sent  LINK 0  refused-for-model (LM-43 gets no frame)"), std::string::npos) << o.out;
    EXPECT_TRUE(o.err.empty());
}

TEST(DravikCtlSend, BrightnessReadsTheVideoParametersFirst) {
    auto lm = StartLan(Addr(15), Config("LM-55"));
    auto shortReply = StartLan(Addr(16), Config("KA-55", 1, sim::Fault::ShortReply));
    sim::DisplayState state = lm->state();
    state.video = {40, 11, 12, 13, 14, 2, 3};
    lm->setState(state);
    const CtlRun o = Ctl({"send", "brightness", "--level", "70", "-v", "--ip", Addr(15), "--model", "LM-55", "--ip",
                           Addr(16), "--model", "KA-55"});
    EXPECT_EQ(o.status, kExitFailed);
    // The set frame carries the level and parameters 2 to 7 as the display reported them.
    EXPECT_EQ(Hex(lm->log()), (std::vector<std::string>{"A6 01 00 00 00 03 01 33 96",
                                                        "A6 01 00 00 00 0A 01 32 46 0B 0C 0D 0E 02 03 DD"}));
    EXPECT_EQ(lm->state().brightness(), 70);
    // An acknowledge is no answer to the query: no set frame follows.
    EXPECT_EQ(Hex(shortReply->log()), std::vector<std::string>{"A6 01 00 00 00 03 01 33 96"});
    const auto lines = o.lines();
    ASSERT_GE(lines.size(), 4u) << o.out;
    EXPECT_NE(lines[0].find("A6 01 00 00 00 03 01 33 96 + A6 01 00 00 00 0A 01 32 46"), std::string::npos);
    EXPECT_EQ(lines[1], "  TX A6 01 00 00 00 03 01 33 96");
    EXPECT_EQ(lines[2].rfind("  RX 21 01 00 00 0A 01 33 28 0B 0C", 0), 0u) << lines[2];
    // An acknowledge where the parameters were asked: the set frame does not follow.
    EXPECT_NE(o.out.find("A6 01 00 00 00 03 01 33 96  LINK Y  short-reply"), std::string::npos) << o.out;
}

TEST(DravikCtlQuery, DecodesTheValuesAsTextAndJson) {
    auto d = StartLan(Addr(20), Config("LM-55", 3));
    d->setTemperature(-10);
    d->display().setHours(300);
    CtlRun o = Ctl({"query", "temperature", "--ip", Addr(20), "--model", "LM-55", "--id", "3", "--json"});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    auto json = o.json();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["values"].toObject()["temperature"].toInt(), -10);
    EXPECT_EQ(json[0]["id"].toInteger(), 3);
    EXPECT_EQ(json[0]["outcome"].toString(), "replied");
    EXPECT_EQ(json[0]["version"].toInt(), 1);
    EXPECT_EQ(json[0]["frames"].toArray().at(0).toString(), "A6 03 00 00 00 03 01 2F 88");

    o = Ctl({"query", "hours", "--ip", Addr(20), "--model", "LM-55", "--id", "3"});
    EXPECT_NE(o.out.find("LM-55      hours 300  LINK Y  ok"), std::string::npos) << o.out;

    // "backlight" asks these models for their video parameters.
    sim::DisplayState state = d->state();
    state.video = {40, 11, 25, 60, 70, 2, 9};
    d->setState(state);
    o = Ctl({"query", "backlight", "--ip", Addr(20), "--model", "LM-55", "--id", "3", "--json"});
    json = o.json();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["values"].toObject()["video"].toArray(), (QJsonArray{11, 25, 10, 50, 2, 1}));  // parameters 4, 5 and 7 clamped

    o = Ctl({"query", "gains", "--ip", Addr(20), "--id", "3"});
    EXPECT_NE(o.out.find("gains 128 128 128  LINK Y  ok"), std::string::npos) << o.out;
    EXPECT_EQ(o.status, kExitOk);

    // Refused: nothing is sent.
    d->clearLog();
    o = Ctl({"query", "temperature", "--ip", Addr(20), "--model", "GBW-2201"});
    EXPECT_EQ(o.status, kExitFailed);
    EXPECT_TRUE(d->log().empty());
}

TEST(DravikCtlQuery, NoReplyAndRefusedStatusAreFailures) {
    auto mute = StartLan(Addr(21), Config("KA-55", 1, sim::Fault::NeverAnswer));
    auto nack = StartLan(Addr(22), Config("KA-55", 1, sim::Fault::Nack));
    // Hours: a short reply to a temperature query carries the temperature, so only here is
    // status 3 a refusal.
    const CtlRun o = Ctl({"query", "hours", "--model", "KA-55", "--ip", Addr(21), "--ip", Addr(22), "--json"});
    EXPECT_EQ(o.status, kExitFailed);
    const auto json = o.json();
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["outcome"].toString(), "no-reply");
    EXPECT_TRUE(json[0]["reachable"].toBool());  // the connection worked
    EXPECT_EQ(json[1]["outcome"].toString(), "nack");
    EXPECT_EQ(json[1]["replies"].toArray().size(), 1);
}

TEST(DravikCtlRaw, AppendsTheComposerChecksumAndSendsAsGiven) {
    auto d = StartLan(Addr(25), Config("KA-55", 9));
    const CtlRun o = Ctl({"raw", "a6 09 00 00 00 07 01 ac", "0x0d", "00 00 00", "--ip", Addr(25)});
    EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
    // Byte 1 is not rewritten: the frame names its display itself.
    EXPECT_EQ(Hex(d->log()), std::vector<std::string>{"A6 09 00 00 00 07 01 AC 0D 00 00 00 08"});
    EXPECT_TRUE(d->log()[0].checksumOk);
    EXPECT_NE(o.out.find("A6 09 00 00 00 07 01 AC 0D 00 00 00 08  LINK Y  ok"), std::string::npos) << o.out;
}

TEST(DravikCtlParallel, EveryDisplayGetsItsOwnFrameOnceAndResultsKeepTheirOrder) {
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    std::vector<std::string> args{"send", "off", "--parallel", "4", "--json"};
    for (int i = 0; i < 12; ++i) {
        const std::string model = i % 3 == 0 ? "NFB-7503" : "KA-55Q";
        displays.push_back(StartLan(Addr(70 + i), Config(model, i + 1)));
        args.insert(args.end(), {"--ip", Addr(70 + i), "--model", model, "--id", std::to_string(i + 1)});
    }
    // The same display twice: two exchanges, one after the other.
    args.insert(args.end(), {"--ip", Addr(70), "--model", "NFB-7503", "--id", "1"});
    const CtlRun o = Ctl(args);
    EXPECT_EQ(o.status, kExitOk) << o.err;
    const auto json = o.json();
    ASSERT_EQ(json.size(), 13u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(json[static_cast<std::size_t>(i)]["address"].toString().toStdString(), Addr(70 + i));
        protocol::Frame expected = i % 3 == 0 ? protocol::Frame::Build(0xA8, {0x00}) : protocol::Frame::Build(0x18, {0x01});
        expected.SetMonitorId(static_cast<protocol::Byte>(i + 1));
        std::string hex = protocol::HexSpaced(expected.bytes());
        hex.pop_back();
        const auto log = Hex(displays[static_cast<std::size_t>(i)]->log());
        EXPECT_EQ(log.size(), i == 0 ? 2u : 1u) << i;
        for (const auto& frame : log) EXPECT_EQ(frame, hex) << i;
    }
}

TEST(DravikCtlList, ListAndTilingFilesNameTheDisplays) {
    auto a = StartLan(Addr(40), Config("KA-55Q", 1));
    auto b = StartLan(Addr(41), Config("KA-55", 2));
    targets::RecordFile file;
    file.header = targets::HeaderRecord::FromValues(3, 2, false);
    file.devices = {{Addr(40), "KA-55Q", "2", "1"}, {Addr(41), "KA-55", "", "2"}};
    const std::string list = WriteFile("MO_IP.log", targets::EncodeRecords(file, targets::RecordMode::Lan,
                                                                           targets::RecordKind::List));
    CtlRun o = Ctl({"send", "on", "--list", list});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(Hex(a->log()), std::vector<std::string>{"A6 01 00 00 00 04 01 18 02 B8"});
    EXPECT_EQ(Hex(b->log()), std::vector<std::string>{"A6 02 00 00 00 04 01 18 02 BB"});

    // A tiling file also gives the matrix (its header), each display's position and the
    // frame compensation flag.
    a->clearLog();
    b->clearLog();
    const std::string tiling = WriteFile("MO_Tiling.log", targets::EncodeRecords(file, targets::RecordMode::Lan,
                                                                                targets::RecordKind::Tiling));
    o = Ctl({"send", "wall-settings", "--list", tiling});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(a->state().wall, (std::array<protocol::Byte, 4>{1, 0, 2, 0x12}));
    EXPECT_EQ(b->state().wall, (std::array<protocol::Byte, 4>{1, 0, 0, 0x0D}));
    std::remove(list.c_str());
    std::remove(tiling.c_str());
}

TEST(DravikCtlSerial, OneLineManyDisplaysEachByItsId) {
    auto line = StartLine({Config("LM-55", 1), Config("KA-55", 2)});
    const std::string dev = line->devicePath();
    // ID 3 is not on the line: no answer within the exchange's waits.
    CtlRun o = Ctl({"send", "vga", "--serial", dev, "--id", "1", "--model", "LM-55", "--serial", dev, "--id", "3",
                     "--model", "LM-55", "--serial", dev, "--id", "2", "--model", "KA-55", "-v"});
    EXPECT_EQ(o.status, kExitFailed);
    const auto lines = o.lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("ID 1 ", 0), 0u) << o.out;
    EXPECT_NE(lines[0].find("ok"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("  RX 21 01 00 00 04 01 AC 01"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("A6 03 00 00 00 07 01 AC 05 00 00 00 0A  LINK 0  no-reply"), std::string::npos) << o.out;
    EXPECT_EQ(Hex(line->log()), (std::vector<std::string>{"A6 01 00 00 00 07 01 AC 05 00 00 00 08",
                                                          "A6 03 00 00 00 07 01 AC 05 00 00 00 0A",
                                                          "A6 02 00 00 00 07 01 AC 05 00 00 00 0B"}));
    EXPECT_EQ(line->display(2)->state().inputSource, 0x05);

    o = Ctl({"query", "temperature", "--serial", dev, "--id", "2", "--model", "KA-55", "--json"});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    const auto json = o.json();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["values"].toObject()["temperature"].toInt(), 32);
    EXPECT_EQ(json[0]["device"].toString().toStdString(), dev);
}

TEST(DravikCtlSerial, AListOnALineAndALineThatDoesNotOpen) {
    auto line = StartLine({Config("KA-55", 4)});
    targets::RecordFile file;
    file.devices = {{"", "KA-55", "", "4"}};
    const std::string list = WriteFile("MO_ID.log", targets::EncodeRecords(file, targets::RecordMode::Serial,
                                                                           targets::RecordKind::List));
    CtlRun o = Ctl({"send", "mute", "--list", list, "--device", line->devicePath()});
    EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
    EXPECT_EQ(line->display(4)->state().lastIrKey, 0xA5);
    std::remove(list.c_str());

    o = Ctl({"send", "on", "--serial", "/dev/pts/999999", "--json"});
    EXPECT_EQ(o.status, kExitNothingReached);
    const auto json = o.json();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["outcome"].toString(), "port-closed");
    EXPECT_EQ(json[0]["system_text"].toString(), "COM Port Opening Error");
    EXPECT_NE(o.err.find("COM Port Opening Error "), std::string::npos);
}

}  // namespace
}  // namespace dravik::ctl::testing
