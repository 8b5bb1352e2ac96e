// "dravikctl wall" against the wall page's flow on the same simulated displays, over the LAN
// and an RS-232 line: the same frames, the dry run printing exactly them; the identity read
// over an RS-232 line; and the wall's usage errors.
// Addresses: 127.0.80.30 .. 127.0.80.39 only.
#include "ctl_helpers.h"

#include "flows/wall_commands.h"
#include "targets/records.h"
#include "transport/lan_link.h"
#include "transport/serial_link.h"
#include "transport/serial_port.h"

#include <QJsonArray>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace dravik::ctl::testing {
namespace {

std::string Addr(int n) { return "127.0.80." + std::to_string(n); }

struct WallCase {
    const char* action;
    flows::WallCommand command;
    bool firstOnly;       // the page acts on its selected row (the first) only
    const char* outcome;  // dravikctl's outcome for each display
    std::vector<std::string> extra;
};

// A 2x1 wall: a KA-55Q at position 1 with ID 1 and a KA-55 at position 2 with ID 2.
struct Wall {
    bool lan;
    int base;  // the two displays' addresses: 127.0.80.base and base + 1
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    std::unique_ptr<sim::SerialLine> line;

    Wall(bool overLan, int firstAddress) : lan(overLan), base(firstAddress) {
        if (lan) {
            displays.push_back(StartLan(Addr(base), Config("KA-55Q", 1)));
            displays.push_back(StartLan(Addr(base + 1), Config("KA-55", 2)));
        } else {
            line = StartLine({Config("KA-55Q", 1), Config("KA-55", 2)});
        }
    }
    std::vector<targets::Target> targets() const {
        std::vector<targets::Target> v;
        const char* models[] = {"KA-55Q", "KA-55"};
        for (int k = 0; k < 2; ++k) {
            targets::Target t;
            t.interface = lan ? targets::Interface::Lan : targets::Interface::Serial;
            t.address = lan ? Addr(base + k) : std::string();
            t.model = models[k];
            t.id = std::to_string(k + 1);
            t.pos = std::to_string(k + 1);
            v.push_back(t);
        }
        return v;
    }
    std::vector<std::string> args(bool firstOnly) const {
        std::vector<std::string> a;
        const char* models[] = {"KA-55Q", "KA-55"};
        for (int k = 0; k < (firstOnly ? 1 : 2); ++k) {
            a.insert(a.end(), {lan ? "--ip" : "--serial", lan ? Addr(base + k) : line->devicePath(), "--model", models[k],
                               "--id", std::to_string(k + 1), "--pos", std::to_string(k + 1)});
        }
        return a;
    }
    // The frames the displays logged, once `count` have come (a LAN display logs a frame
    // just after the connection that brought it is gone).
    std::vector<std::string> log(std::size_t count = 0) const {
        if (!lan) {
            line->waitForLog(count, std::chrono::seconds(2));
            return Hex(line->log());
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (count > 0 && std::chrono::steady_clock::now() < deadline) {
            std::size_t n = 0;
            for (const auto& d : displays) n += d->log().size();
            if (n >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::vector<std::string> v;
        for (const auto& d : displays)
            for (const std::string& f : Hex(d->log())) v.push_back(f);
        return v;
    }
    void clear() {
        if (line) line->clearLog();
        for (auto& d : displays) d->clearLog();
    }
};

std::vector<flows::RowResult> RunPage(const WallCase& c, Wall& wall) {
    flows::WallRequest req;
    req.command = c.command;
    req.lan = wall.lan;
    req.targets = wall.targets();
    if (c.firstOnly) req.targets.resize(1);
    req.selected = c.firstOnly ? 0 : -1;
    req.fields.columns = 2;
    req.fields.rows = 1;
    req.gains = {255, 0, 128};
    flows::WallObserver quiet;
    transport::LanLink lan;
    transport::SerialPort port;
    if (!wall.lan) {
        EXPECT_EQ(port.open(QString::fromStdString(wall.line->devicePath())), transport::OpenResult::Opened);
    }
    transport::SerialLink serial(port);
    return flows::RunWallFlow(req, {&lan, &serial}, quiet).rows;
}

TEST(DravikCtlWall, EachActionSendsThePagesFramesAndTheDryRunPrintsThem) {
    const std::vector<WallCase> cases{
        {"settings", flows::WallCommand::Settings, false, "sent", {"--matrix", "2x1"}},
        {"on", flows::WallCommand::WallOn, false, "sent", {}},
        {"off", flows::WallCommand::WallOff, false, "sent", {}},
        {"power-on", flows::WallCommand::PowerOn, false, "sent", {}},
        {"power-off", flows::WallCommand::PowerOff, false, "sent", {}},
        {"locate", flows::WallCommand::LocationTest, true, "sent", {}},
        {"gains", flows::WallCommand::GetGains, true, "replied", {}},
        {"gains", flows::WallCommand::SetGains, true, "sent", {"--rgb", "255,0,128"}},
    };
    for (bool lan : {true, false}) {
        Wall wall(lan, 30);
        for (const WallCase& c : cases) {
            SCOPED_TRACE(std::string(c.action) + (c.extra.empty() ? "" : " " + c.extra[0]) + (lan ? " LAN" : " RS-232"));
            wall.clear();
            const auto page = RunPage(c, wall);
            const std::vector<std::string> pageFrames = wall.log(c.firstOnly ? 1 : 2);
            ASSERT_FALSE(pageFrames.empty());

            std::vector<std::string> args{"wall", c.action};
            const auto targets = wall.args(c.firstOnly);
            args.insert(args.end(), targets.begin(), targets.end());
            args.insert(args.end(), c.extra.begin(), c.extra.end());

            std::vector<std::string> dry = args;
            dry.push_back("--dry-run");
            const CtlRun printed = Ctl(dry);
            EXPECT_EQ(printed.status, kExitOk) << printed.err;
            EXPECT_TRUE(wall.log() == pageFrames) << "a dry run sent something";
            std::vector<std::string> printedFrames;
            for (const std::string& l : printed.lines()) printedFrames.push_back(l.substr(l.find("  ") + 2));
            EXPECT_EQ(printedFrames, pageFrames);

            wall.clear();
            args.push_back("--json");
            const CtlRun o = Ctl(args);
            EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
            EXPECT_EQ(wall.log(pageFrames.size()), pageFrames);
            const auto json = o.json();
            ASSERT_EQ(json.size(), page.size()) << o.out;
            // Every frame the displays received is listed, display by display.
            std::vector<std::string> listed;
            for (const QJsonObject& row : json)
                for (const auto& f : row["frames"].toArray()) listed.push_back(f.toString().toStdString());
            EXPECT_EQ(listed, pageFrames) << o.out;
            for (std::size_t k = 0; k < json.size(); ++k) {
                EXPECT_EQ(json[k]["outcome"].toString().toStdString(), c.outcome) << o.out;
                EXPECT_EQ(json[k]["ok"].toBool(), flows::Succeeded(page[k].outcome)) << flows::OutcomeName(page[k].outcome);
            }
            if (c.command == flows::WallCommand::GetGains) {
                EXPECT_EQ(json[0]["values"].toObject()["red"].toInt(), page[0].value.gains.value_or(std::array<int, 3>{})[0]);
            }
        }
    }
}

TEST(DravikCtlWall, ATilingFileGivesTheWallAndLocatePicksByPosition) {
    Wall wall(true, 32);
    targets::RecordFile file;
    file.header = targets::HeaderRecord::FromValues(2, 2, true);
    file.devices = {{Addr(32), "KA-55Q", "1", "1"}, {Addr(33), "KA-55", "2", "2"}};
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("dravikctl_wall_" + std::to_string(::getpid()) + "_" + test->name());
    std::filesystem::create_directories(dir);
    const std::string tiling = (dir / "MO_Tiling.log").string();
    const protocol::Bytes bytes = targets::EncodeRecords(file, targets::RecordMode::Lan, targets::RecordKind::Tiling);
    std::ofstream(tiling, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));

    CtlRun o = Ctl({"wall", "locate", "--list", tiling, "--at", "2"});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    ASSERT_TRUE(wall.displays[1]->waitForLog(1, std::chrono::seconds(2)));
    EXPECT_TRUE(wall.displays[0]->log().empty());
    // The location test is the menu key, addressed to the display at that position.
    EXPECT_EQ(Hex(wall.displays[1]->log()), std::vector<std::string>{"A6 02 00 00 00 04 01 FD A1 FD"});

    // The settings take the file's matrix (2x2: 0x11 on a base-15 matrix model, 0x0C otherwise).
    o = Ctl({"wall", "settings", "--list", tiling});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    EXPECT_EQ(wall.displays[0]->state().wall, (std::array<protocol::Byte, 4>{1, 1, 1, 0x11}));
    EXPECT_EQ(wall.displays[1]->state().wall, (std::array<protocol::Byte, 4>{1, 1, 2, 0x0C}));
    std::filesystem::remove_all(dir);
}

TEST(DravikCtlWall, UsageErrorsNameTheArgumentAndSendNothing) {
    Wall wall(true, 34);
    struct Case {
        std::vector<std::string> args;
        std::string names;
    };
    const std::vector<Case> cases{
        {{"wall", "sideways", "--ip", Addr(34)}, "'sideways'"},
        {{"wall", "on", "--ip", Addr(34), "--matrix", "2x2"}, "--matrix"},
        {{"wall", "on", "--ip", Addr(34), "--at", "1"}, "--at"},
        {{"wall", "locate", "--ip", Addr(34), "--pos", "1", "--at", "3"}, "--at 3"},
        {{"wall", "locate", "--ip", Addr(34), "--at", "26"}, "--at"},
        {{"wall", "settings", "--ip", Addr(34)}, "needs --model"},
        {{"wall", "gains", "--ip", Addr(34), "--rgb", "1,2,3"}, "needs --model"},
        {{"wall", "on", "--ip", Addr(34), "--no-wait"}, "--no-wait"},
    };
    for (const Case& c : cases) {
        const CtlRun o = Ctl(c.args);
        EXPECT_EQ(o.status, kExitUsage) << c.names;
        EXPECT_NE(o.err.find(c.names), std::string::npos) << o.err;
    }
    EXPECT_TRUE(wall.log().empty());
}

TEST(DravikCtlIdentity, AnRs232LineIsAskedIdByIdWithTheSecondQueryAfterATag) {
    auto line = StartLine({Config("LM-55", 3), Config("KC-55D3", 1)});
    const std::string dev = line->devicePath();
    const CtlRun o = Ctl({"identity", "--serial", dev, "--id", "3", "--serial", dev, "--id", "1", "--serial", dev, "--id",
                          "9", "--json"});
    EXPECT_EQ(o.status, kExitFailed) << o.err;
    const auto json = o.json();
    ASSERT_EQ(json.size(), 3u) << o.out;
    const struct {
        const char* outcome;
        const char* model;
    } expected[] = {{"replied", "LM-55"}, {"replied", "KC-55D3"}, {"no-reply", ""}};
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(json[k]["outcome"].toString().toStdString(), expected[k].outcome) << k;
        EXPECT_EQ(json[k]["values"].toObject()["model"].toString().toStdString(), expected[k].model) << k;
    }
    // The family tag of ID 3 calls for the second query; the others get the first only.
    EXPECT_EQ(Hex(line->log()), (std::vector<std::string>{"A6 03 00 00 00 04 01 A2 01 03", "A6 03 00 00 00 04 01 A1 00 01",
                                                          "A6 01 00 00 00 04 01 A2 01 01", "A6 09 00 00 00 04 01 A2 01 09"}));
}

}  // namespace
}  // namespace dravik::ctl::testing
