// dravikctl as a scripting contract: typed outcomes that do not depend on the order of the
// displays or on --parallel, the same outcome over both transports for the same display
// behaviour, list checking with --skip-invalid, and the machine-readable formats.
// Addresses: 127.0.55.1 .. 127.0.55.40 only (127.0.55.201-208 belong to the fleet bench).
#include "ctl_helpers.h"

#include "dravikctl/report.h"
#include "targets/records.h"

#include <QJsonArray>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>

#include <unistd.h>

namespace dravik::ctl::testing {
namespace {

std::string Addr(int n) { return "127.0.55." + std::to_string(n); }

std::string WriteFile(const std::string& name, const protocol::Bytes& bytes) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                      ("dravikctl_contract_" + std::to_string(::getpid()) + "_" + test->name());
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

// address -> outcome, from JSON lines.
std::map<std::string, std::string> Outcomes(const CtlRun& o) {
    std::map<std::string, std::string> m;
    for (const QJsonObject& j : o.json()) m[j["address"].toString().toStdString()] = j["outcome"].toString().toStdString();
    return m;
}

struct FleetMember {
    int address;
    bool listening;
    sim::Fault fault;
    const char* queryOutcome;
    const char* sendOutcome;
};

TEST(DravikCtlContract, MixedFleetGivesTheSameOutcomesInAnyOrderAndAtAnyParallel) {
    const std::vector<FleetMember> fleet{
        {1, true, sim::Fault::None, "replied", "replied"},
        {2, true, sim::Fault::NeverAnswer, "no-reply", "no-reply"},
        {3, true, sim::Fault::Nack, "nack", "nack"},
        {4, false, sim::Fault::None, "connect-refused", "connect-refused"},
        {5, true, sim::Fault::WrongHeader, "wrong-header", "wrong-header"},
        {6, true, sim::Fault::Nav, "nav", "nav"},
        {7, true, sim::Fault::None, "replied", "replied"},
    };
    std::vector<std::unique_ptr<sim::LanDisplay>> displays;
    for (const FleetMember& m : fleet)
        if (m.listening) displays.push_back(StartLan(Addr(m.address), Config("KA-55", 1, m.fault)));

    std::vector<int> order;
    for (const FleetMember& m : fleet) order.push_back(m.address);
    std::vector<int> shuffled = order;
    std::mt19937 random(14);
    std::shuffle(shuffled.begin(), shuffled.end(), random);

    const auto args = [](std::vector<std::string> head, const std::vector<int>& addresses, int parallel) {
        for (int a : addresses) head.insert(head.end(), {"--ip", Addr(a)});
        if (parallel > 0) head.insert(head.end(), {"--parallel", std::to_string(parallel)});
        head.push_back("--format=jsonl");
        return head;
    };
    struct Command {
        std::vector<std::string> head;
        const char* FleetMember::*expected;
    };
    const std::vector<Command> commands{
        {{"query", "temperature", "--model", "KA-55"}, &FleetMember::queryOutcome},
        {{"send", "on"}, &FleetMember::sendOutcome},
    };
    for (const Command& c : commands) {
        std::map<std::string, std::string> expected;
        for (const FleetMember& m : fleet) expected[Addr(m.address)] = m.*c.expected;
        for (const auto& [addresses, parallel] :
             std::vector<std::pair<std::vector<int>, int>>{{order, 0}, {shuffled, 0}, {shuffled, 8}}) {
            const CtlRun o = Ctl(args(c.head, addresses, parallel));
            EXPECT_EQ(Outcomes(o), expected) << c.head[0] << " parallel " << parallel << "\n" << o.out;
            EXPECT_EQ(o.status, kExitFailed);
            // Results come in the order the displays were given.
            const auto json = o.json();
            ASSERT_EQ(json.size(), addresses.size());
            for (std::size_t i = 0; i < addresses.size(); ++i)
                EXPECT_EQ(json[i]["address"].toString().toStdString(), Addr(addresses[i]));
        }
    }
}

TEST(DravikCtlContract, BothTransportsGiveTheSameOutcomeForTheSameBehaviour) {
    struct Case {
        sim::Fault fault;
        const char* outcome;
        int status;
    };
    const std::vector<Case> cases{
        {sim::Fault::None, "replied", kExitOk},
        {sim::Fault::NeverAnswer, "no-reply", kExitFailed},
        {sim::Fault::Nack, "nack", kExitFailed},
    };
    int n = 10;
    for (const Case& c : cases) {
        auto lan = StartLan(Addr(n), Config("KA-55", 1, c.fault));
        auto line = StartLine({Config("KA-55", 1, c.fault)});
        const CtlRun overLan = Ctl({"send", "mute", "--ip", Addr(n), "--json"});
        const CtlRun overLine = Ctl({"send", "mute", "--serial", line->devicePath(), "--json"});
        for (const CtlRun* o : {&overLan, &overLine}) {
            EXPECT_EQ(o->status, c.status) << o->out;
            const auto json = o->json();
            ASSERT_EQ(json.size(), 1u);
            EXPECT_EQ(json[0]["outcome"].toString().toStdString(), c.outcome) << o->out;
        }
        ++n;
    }
    // --no-wait: the page's LAN exchange, nothing read, so a silent display counts as sent.
    auto mute = StartLan(Addr(n), Config("KA-55", 1, sim::Fault::NeverAnswer));
    const CtlRun o = Ctl({"send", "mute", "--ip", Addr(n), "--no-wait", "--json"});
    EXPECT_EQ(o.status, kExitOk) << o.out;
    EXPECT_EQ(o.json().at(0)["outcome"].toString(), "sent");
    EXPECT_EQ(Hex(mute->log()).size(), 1u);
}

TEST(DravikCtlContract, NothingReachableIsItsOwnExitStatus) {
    auto up = StartLan(Addr(20), Config("KA-55"));
    CtlRun o = Ctl({"send", "on", "--ip", Addr(21), "--ip", Addr(22), "--json"});
    EXPECT_EQ(o.status, kExitNothingReached);
    for (const QJsonObject& j : o.json()) {
        EXPECT_EQ(j["outcome"].toString(), "connect-refused");
        EXPECT_FALSE(j["reachable"].toBool());
        EXPECT_FALSE(j["system_text"].toString().isEmpty());
        EXPECT_TRUE(j["id"].isDouble());  // IDs are numbers
        EXPECT_TRUE(j["ok"].isBool());
    }
    o = Ctl({"send", "on", "--ip", Addr(20), "--ip", Addr(21)});
    EXPECT_EQ(o.status, kExitFailed);
}

TEST(DravikCtlContract, BadListRowsStopEverythingUnlessSkipped) {
    auto good = StartLan(Addr(25), Config("KA-55"));
    targets::RecordFile file;
    file.devices = {{Addr(25), "KA-55", "", "1"}, {"", "KA-55", "", "2"}, {"10.0.0", "KA-55", "", "3"}};
    const std::string list =
        WriteFile("MO_IP.log", targets::EncodeRecords(file, targets::RecordMode::Lan, targets::RecordKind::List));

    CtlRun o = Ctl({"send", "on", "--list", list});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("MO_IP.log' row 2 (address)"), std::string::npos) << o.err;
    EXPECT_TRUE(good->log().empty());

    o = Ctl({"send", "on", "--list", list, "--skip-invalid", "--format", "json"});
    EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
    EXPECT_EQ(good->log().size(), 1u);
    const QJsonObject doc = QJsonDocument::fromJson(QByteArray::fromStdString(o.out)).object();
    EXPECT_EQ(doc["version"].toInt(), 1);
    EXPECT_EQ(doc["results"].toArray().size(), 1);
    const QJsonArray skipped = doc["skipped"].toArray();
    ASSERT_EQ(skipped.size(), 2);
    EXPECT_EQ(skipped[0].toObject()["row"].toInt(), 2);
    EXPECT_EQ(skipped[1].toObject()["row"].toInt(), 3);
    EXPECT_EQ(skipped[1].toObject()["field"].toString(), "address");
}

TEST(DravikCtlContract, BadInputExitsTwoNamingTheArgumentAndSendsNothing) {
    auto d = StartLan(Addr(30), Config("KA-55"));
    protocol::Bytes garbage(300);
    std::mt19937 random(7);
    for (auto& b : garbage) b = static_cast<protocol::Byte>(random());
    const std::string junk = WriteFile("MO_IP.log", garbage);
    struct Case {
        std::vector<std::string> args;
        std::string names;
    };
    const std::vector<Case> cases{
        {{"sned", "on", "--ip", Addr(30)}, "'sned'"},
        {{"send", "onn", "--ip", Addr(30)}, "'onn'"},
        {{"send", "on", "--ip", Addr(30), "--id", "256"}, "--id"},
        {{"send", "on", "--ip", Addr(30), "--id", "-1"}, "--id"},
        {{"send", "on", "--ip", "127.0.55"}, "'127.0.55'"},
        {{"send", "on", "--ip", Addr(30), "--format", "xml"}, "--format"},
        {{"send", "on", "--list", junk}, "MO_IP.log' row 1"},
        {{"query", "temperature", "--ip", Addr(30), "--no-wait"}, "--no-wait"},
    };
    for (const Case& c : cases) {
        const CtlRun o = Ctl(c.args);
        EXPECT_EQ(o.status, kExitUsage) << c.names;
        EXPECT_EQ(o.errLines(), 1) << o.err;
        EXPECT_NE(o.err.find(c.names), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty());
    }
    EXPECT_TRUE(d->log().empty());
}

// The text exposition format's rules: HELP and TYPE once per metric before its samples,
// one sample per series, label values escaped, numbers that parse.
TEST(DravikCtlContract, PrometheusOutputFollowsTheExpositionFormat) {
    auto a = StartLan(Addr(35), Config("KA-55"));
    a->setTemperature(41);
    auto nack = StartLan(Addr(36), Config("KA-55", 1, sim::Fault::Nack));
    const CtlRun o = Ctl({"query", "temperature", "--model", "KA-55", "--ip", Addr(35), "--ip", Addr(36), "--ip",
                          Addr(37), "--format", "prometheus"});
    EXPECT_EQ(o.status, kExitFailed);
    const std::regex help(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) .+)");
    const std::regex type(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter))");
    const std::regex sample(R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{([a-zA-Z_][a-zA-Z0-9_]*="([^"\\]|\\.)*",?)*\})? (-?[0-9.eE+]+))");
    std::set<std::string> seenMetrics, seenSeries;
    std::string current;
    std::map<std::string, std::string> values;
    for (const std::string& line : o.lines()) {
        std::smatch m;
        if (std::regex_match(line, m, help)) {
            EXPECT_TRUE(seenMetrics.insert(m[1]).second) << "metric twice: " << line;
            current = m[1];
        } else if (std::regex_match(line, m, type)) {
            EXPECT_EQ(m[1], current) << line;
        } else if (std::regex_match(line, m, sample)) {
            EXPECT_EQ(m[1], current) << "sample outside its metric: " << line;
            const std::string series = line.substr(0, line.rfind(' '));
            EXPECT_TRUE(seenSeries.insert(series).second) << line;
            values[series] = m[5];
        } else {
            ADD_FAILURE() << "not exposition format: " << line;
        }
    }
    // Success per read, named by the read, so a second textfile (hours) never collides.
    const auto success = [](const std::string& address) {
        return "dravik_probe_success{read=\"temperature\",address=\"" + address + "\",model=\"KA-55\"}";
    };
    EXPECT_EQ(values[success(Addr(35))], "1") << o.out;
    EXPECT_EQ(values[success(Addr(36))], "0") << o.out;
    EXPECT_EQ(values[success(Addr(37))], "0") << o.out;
    EXPECT_EQ(values["dravik_read_outcome{read=\"temperature\",outcome=\"nack\",address=\"" + Addr(36) +
                     "\",model=\"KA-55\"}"],
              "1")
        << o.out;
    EXPECT_EQ(values.count("dravik_read_outcome{read=\"temperature\",outcome=\"connect-refused\",address=\"" +
                           Addr(37) + "\",model=\"KA-55\"}"),
              1u)
        << o.out;
    EXPECT_EQ(values["dravik_display_temperature_celsius{address=\"" + Addr(35) + "\",model=\"KA-55\"}"], "41");
    // A NACK is never read as 3 degrees.
    EXPECT_EQ(values.count("dravik_display_temperature_celsius{address=\"" + Addr(36) + "\",model=\"KA-55\"}"), 0u);
    EXPECT_EQ(PromLabel("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");
    EXPECT_EQ(CsvField("a,b\"c"), "\"a,b\"\"c\"");
}

// The colour-gain read is the wall page's exchange: over RS-232 it drains, then reads 1 s
// after the request and once more 500 ms later (each read looking twice, 150 ms apart), so
// an answer 1.7 s late is still taken; the Control page's 800 ms query wait would miss it.
TEST(DravikCtlContract, GainReadUsesTheWallPagesExchange) {
    sim::DisplayConfig late = Config("KA-55", 2, sim::Fault::AnswerLate);
    late.lateMs = 1700;
    auto line = StartLine({late});
    sim::DisplayState state = line->display(2)->state();
    state.gains = {10, 20, 30};
    line->display(2)->setState(state);
    const CtlRun o = Ctl({"query", "gains", "--serial", line->devicePath(), "--id", "2", "--json"});
    EXPECT_EQ(o.status, kExitOk) << o.out << o.err;
    const auto json = o.json();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["outcome"].toString(), "replied");
    EXPECT_EQ(json[0]["values"].toObject()["red"].toInt(), 10);
    EXPECT_EQ(json[0]["values"].toObject()["blue"].toInt(), 30);
}

TEST(DravikCtlContract, IdentityReadsTheModelEachDisplayReports) {
    auto tagged = StartLan(Addr(38), Config("LM-55", 3));  // answers a family tag first
    auto plain = StartLan(Addr(39), Config("KC-55D3", 1));
    const CtlRun o = Ctl({"identity", "--ip", Addr(38), "--id", "3", "--ip", Addr(39), "--ip", Addr(40), "--json"});
    EXPECT_EQ(o.status, kExitFailed);
    const auto json = o.json();
    ASSERT_EQ(json.size(), 3u) << o.out;
    EXPECT_EQ(json[0]["values"].toObject()["model"].toString(), "LM-55");
    EXPECT_EQ(json[0]["outcome"].toString(), "replied");
    EXPECT_EQ(json[1]["values"].toObject()["model"].toString(), "KC-55D3");
    EXPECT_EQ(json[2]["outcome"].toString(), "connect-refused");
    // Every frame the displays received is listed with its display.
    for (const auto& [k, display] : {std::pair{0, tagged.get()}, std::pair{1, plain.get()}}) {
        std::vector<std::string> listed;
        for (const auto& f : json[static_cast<std::size_t>(k)]["frames"].toArray()) listed.push_back(f.toString().toStdString());
        EXPECT_EQ(listed, Hex(display->log())) << k;
        EXPECT_FALSE(listed.empty()) << k;
    }
    // RS-232 lines are asked too: a path that is no serial line reaches nothing.
    EXPECT_EQ(Ctl({"identity", "--serial", "/dev/null"}).status, kExitNothingReached);
}

TEST(DravikCtlContract, WallDryRunPrintsEachDisplaysFramesAndTilingFilesAreChecked) {
    targets::RecordFile file;
    file.headerRead = true;
    file.header.columnsText = "2";
    file.header.rowsText = "1";
    file.devices = {{Addr(33), "KA-55Q", "1", "1"}, {Addr(34), "KA-55Q", "2", "2"}};
    const protocol::Bytes bytes = targets::EncodeRecords(file, targets::RecordMode::Lan, targets::RecordKind::Tiling);
    const std::string tiling = WriteFile("MO_Tiling.log", bytes);
    CtlRun o = Ctl({"send", "wall-settings", "--list", tiling, "--dry-run"});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    const auto lines = o.lines();
    ASSERT_EQ(lines.size(), 2u) << o.out;
    // The same frames as "frame" prints for each display's position and ID, with the matrix
    // and frame compensation (off here) of the file's header.
    for (int k = 0; k < 2; ++k) {
        const CtlRun f = Ctl({"frame", "wall-settings", "--model", "KA-55Q", "--id", std::to_string(k + 1), "--pos",
                              std::to_string(k + 1), "--matrix", "2x1", "--frame-comp", "off"});
        EXPECT_EQ(lines[static_cast<std::size_t>(k)], Addr(33 + k) + "  " + f.lines().at(0));
    }

    for (const std::size_t size : {std::size_t{29}, bytes.size() - 1, bytes.size() + 7}) {
        protocol::Bytes cut = bytes;
        cut.resize(size, 0x20);
        const std::string bad = WriteFile("MO_Tiling.log", cut);
        o = Ctl({"send", "wall-on", "--list", bad});
        EXPECT_EQ(o.status, kExitUsage) << size;
        EXPECT_NE(o.err.find("MO_Tiling.log': " + std::to_string(size) + " bytes"), std::string::npos) << o.err;
    }
}

TEST(DravikCtlContract, VersionIsTheProjectVersion) {
    const CtlRun o = Ctl({"--version"});
    EXPECT_EQ(o.status, kExitOk);
    EXPECT_EQ(o.out, std::string("dravikctl ") + DRAVIK_PROJECT_VERSION + "\n");
}

}  // namespace
}  // namespace dravik::ctl::testing
