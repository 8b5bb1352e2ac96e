// dravikctl scan, search and check: ranges, bad input (exit 2, nothing sent), a scan of
// simulated displays on 127.0.82.x / 127.0.83.x, and search and check over a simulated line.
#include "ctl_helpers.h"

#include "discovery/linux_presence.h"
#include "discovery/tcp_identity.h"
#include "dravikctl/discovery_commands.h"
#include "targets/records.h"

#include <QJsonArray>
#include <QTemporaryDir>

#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>

namespace dravik::ctl::testing {
namespace {

using namespace std::chrono_literals;

CtlRun Discover(std::vector<std::string> args, const DiscoveryEnvironment& env) {
    std::ostringstream out, err;
    CtlRun o;
    o.status = RunDiscoveryCommand(args, out, err, env);
    o.out = out.str();
    o.err = err.str();
    return o;
}

QJsonObject Document(const CtlRun& run) {
    QJsonParseError error{};
    const auto doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out;
    return doc.object();
}

// "address|model|id" or "target|model|LINK|outcome" per result of a JSON document.
QStringList Results(const QJsonObject& doc) {
    QStringList out;
    for (const auto& v : doc["results"].toArray()) {
        const QJsonObject r = v.toObject();
        QString line = r["target"].toString() + "|" + r["model"].toString() + "|";
        if (r.contains("named")) {
            line += QString(r["named"].toBool() ? "Y" : "N") + "|" + r["outcome"].toString();
        } else {
            line += QString::number(r["id"].toInt());
        }
        out << line;
    }
    return out;
}

// Device records of a list file as "key|model|id" (key: the address, or empty on RS-232).
QStringList ListFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const protocol::Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    QStringList out;
    for (const auto& d : targets::DecodeRecords(bytes).devices)
        out << QString::fromStdString(d.address + "|" + d.model + "|" + d.id);
    return out;
}

// Presence and identity backends that count what they are asked, for runs that must send
// nothing.
class CountingBackends final : public discovery::PresenceProbe, public discovery::IdentityClient {
public:
    discovery::Presence Test(const std::string&, std::chrono::milliseconds, const discovery::StopSignal&) override {
        ++calls;
        return discovery::Presence::Absent;
    }
    std::unique_ptr<discovery::IdentitySession> Connect(const std::string&, std::uint16_t, std::chrono::milliseconds,
                                                        const discovery::StopSignal&) override {
        ++calls;
        return nullptr;
    }
    std::atomic<int> calls{0};
};

TEST(DiscoveryRange, Parse) {
    const struct {
        const char* text;
        std::optional<ScanRange> range;
        const char* why;  // part of the reason when refused
    } cases[] = {
        {"192.168.10.0/24", ScanRange{"192.168.10.", 1, 254}, ""},
        {"192.168.10.77/24", ScanRange{"192.168.10.", 1, 254}, ""},
        {"127.0.82.20-127.0.82.40", ScanRange{"127.0.82.", 20, 40}, ""},
        {"10.1.2.5-10.1.2.5", ScanRange{"10.1.2.", 5, 5}, ""},
        {"10.0.0.0/16", std::nullopt, "/16"},
        {"10.0.0.0/25", std::nullopt, "/25"},
        {"10.0.0.1-10.0.1.9", std::nullopt, "one /24"},
        {"10.0.0.9-10.0.0.1", std::nullopt, "not after"},
        {"10.0.0.0-10.0.0.255", std::nullopt, "1 to 254"},
        {"10.0.0.256/24", std::nullopt, "FIRST-LAST"},
        {"10.0.0/24", std::nullopt, "FIRST-LAST"},
        {"10.0.0.1", std::nullopt, "FIRST-LAST"},
        {"a.b.c.d-e", std::nullopt, "FIRST-LAST"},
        {"", std::nullopt, "FIRST-LAST"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string why;
        EXPECT_EQ(ParseScanRange(c.text, why), c.range);
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

// Bad input exits 2 with one line naming what was wrong, and nothing goes out: no host is
// tested and the line hears nothing.
TEST(DiscoveryCommands, BadInputExitsTwoAndSendsNothing) {
    auto line = StartLine({Config("LM-55", 1)});
    const std::string port = line->devicePath();
    QTemporaryDir dir;
    const std::string garbage = dir.filePath("MO_ID.log").toStdString();
    {
        std::ofstream f(garbage, std::ios::binary);
        std::string record(30, '\0');
        f << record;
        record.replace(16, 5, "LM-55");
        record.replace(28, 2, "\xff\x01");
        f << record;
    }
    auto backends = std::make_shared<CountingBackends>();
    DiscoveryEnvironment env;
    env.scanBackends = [backends] { return discovery::ScanBackends{backends, backends}; };

    const struct {
        std::vector<std::string> args;
        const char* names;  // what the message must name
    } cases[] = {
        {{"scan", "--range", "10.0.0.0/16"}, "10.0.0.0/16"},
        {{"scan", "--range", "127.0.82.1-127.0.83.5"}, "127.0.82.1-127.0.83.5"},
        {{"scan", "--range", "nonsense"}, "nonsense"},
        {{"scan"}, "--range"},
        {{"scan", "--local", "--range", "127.0.82.0/24"}, "--local"},
        {{"scan", "--port", port}, "--port"},
        {{"scan", "--range"}, "--range"},
        {{"scan", "--range", "127.0.82.0/24", "--format", "prometheus"}, "prometheus"},
        {{"search", "--port", port, "--model", "LM-55", "--to", "256"}, "256"},
        {{"search", "--port", port, "--model", "LM-55", "--from", "-1"}, "-1"},
        {{"search", "--port", port, "--model", "LM-55", "--from", "9", "--to", "3"}, "--from 9"},
        {{"search", "--port", port, "--model", "XR-9"}, "XR-9"},
        {{"search", "--port", port}, "--model"},
        {{"search", "--model", "LM-55"}, "--port"},
        {{"search", "--port", port, "--model", "LM-55", "extra"}, "extra"},
        {{"check", "--port", port}, "--list"},
        {{"check", "--port", port, "--id", "300", "--model", "LM-55"}, "300"},
        {{"check", "--port", port, "--id", "3"}, "--id 3"},
        {{"check", "--port", port, "--list", garbage}, "row 1 (id)"},
        {{"check", "--port", port, "--list", dir.filePath("missing.log").toStdString()}, "missing.log"},
        {{"check", "--port", port, "--range", "127.0.82.0/24"}, "--range"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        for (const bool throughMain : {false, true}) {
            // Through the command's own entry (environment injected), and through Main
            // (the system's backends would be used, had it got so far).
            const CtlRun run = throughMain ? Ctl(c.args) : Discover(c.args, env);
            EXPECT_EQ(run.status, kExitUsage) << run.err;
            EXPECT_EQ(run.errLines(), 1) << run.err;
            EXPECT_NE(run.err.find(c.names), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
        }
    }
    EXPECT_EQ(backends->calls, 0);
    EXPECT_TRUE(line->log().empty());
}

TEST(DiscoveryCommands, HelpNamesEveryOption) {
    const struct {
        std::vector<std::string> args;
        std::vector<const char*> mentions;
    } cases[] = {
        {{"scan", "--help"}, {"--range", "--local", "--write-list", "--format", "/24"}},
        {{"help", "search"}, {"--port", "--from", "--to", "--model", "--write-list"}},
        {{"check", "-h"}, {"--port", "--list", "--id", "--model", "--write-list"}},
        {{"--help"}, {"scan", "search", "check"}},
    };
    for (const auto& c : cases) {
        const CtlRun run = Ctl(c.args);
        EXPECT_EQ(run.status, kExitOk);
        for (const char* m : c.mentions) EXPECT_NE(run.out.find(m), std::string::npos) << c.args[0] << ": " << m;
    }
}

bool CanPing() {
    discovery::LinuxPresenceProbe probe;
    const discovery::StopSignal stop;
    return probe.Test("127.0.82.1", 500ms, stop) == discovery::Presence::Present;
}

DiscoveryEnvironment QuickScan() {
    DiscoveryEnvironment env;
    env.scanOptions.probeSpacing = 2ms;
    env.scanOptions.echoTimeout = 1000ms;
    env.scanOptions.connectTimeout = 1000ms;
    env.scanOptions.identityTimeout = 400ms;
    env.scanOptions.lastMonitorId = 3;
    return env;
}

// The system's presence test and identity read against simulated displays on loopback.
TEST(DiscoveryCommands, ScanListsTheSimulatedDisplaysOfTheRange) {
    if (!CanPing()) GTEST_SKIP() << "no ICMP echo to 127.0.82.1 from this process (no raw or ping socket)";
    auto a = StartLan("127.0.82.5", Config("LM-55", 1));
    auto b = StartLan("127.0.82.9", Config("KC-46D", 1));
    auto outside = StartLan("127.0.82.30", Config("LM-65", 1));
    QTemporaryDir dir;
    const std::string list = dir.filePath("MO_IP.log").toStdString();
    const CtlRun run =
        Discover({"scan", "--range", "127.0.82.1-127.0.82.12", "--format", "json", "--write-list", list}, QuickScan());
    EXPECT_EQ(run.status, kExitOk) << run.err;
    const QJsonObject doc = Document(run);
    EXPECT_EQ(doc["command"].toString(), "scan");
    EXPECT_TRUE(doc["ok"].toBool());
    EXPECT_EQ(Results(doc), (QStringList{"127.0.82.5|LM-55|1", "127.0.82.9|KC-46D|1"}));
    EXPECT_EQ(doc["results"].toArray()[1].toObject()["outcome"].toString(), "replied");
    EXPECT_EQ(ListFile(list), (QStringList{"127.0.82.5|LM-55|1", "127.0.82.9|KC-46D|1"}));
    EXPECT_TRUE(outside->log().empty());
}

TEST(DiscoveryCommands, ScanLocalUsesOnlyTheInjectedLookup) {
    if (!CanPing()) GTEST_SKIP() << "no ICMP echo to 127.0.83.1 from this process (no raw or ping socket)";
    auto d = StartLan("127.0.83.20", Config("KA-55Q", 1));
    targets::FixedAddressLookup lookup(QStringLiteral("127.0.83.77"));
    DiscoveryEnvironment env = QuickScan();
    env.localAddress = &lookup;
    CtlRun run = Discover({"scan", "--local", "--format", "csv"}, env);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    ASSERT_EQ(run.lines().size(), 2u) << run.out;
    EXPECT_EQ(run.lines()[0].rfind("target,interface,address", 0), 0u);
    EXPECT_EQ(run.lines()[1].rfind("127.0.83.20,lan,127.0.83.20,,1,KA-55Q,scan,replied,true", 0), 0u) << run.lines()[1];

    // A lookup that finds nothing usable scans nothing.
    targets::FixedAddressLookup none(std::nullopt);
    env.localAddress = &none;
    run = Discover({"scan", "--local"}, env);
    EXPECT_EQ(run.status, kExitNothingReached);
    EXPECT_NE(run.err.find("--local"), std::string::npos);
    EXPECT_TRUE(run.out.empty());
}

// An output stream other threads may look into while the command writes to it.
class SharedOutput final : public std::stringbuf {
public:
    bool contains(const std::string& text) {
        std::lock_guard lock(mutex_);
        return str().find(text) != std::string::npos;
    }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard lock(mutex_);
        return std::stringbuf::xsputn(s, n);
    }
    int_type overflow(int_type c) override {
        std::lock_guard lock(mutex_);
        return std::stringbuf::overflow(c);
    }

private:
    std::recursive_mutex mutex_;  // xsputn may call overflow
};

// Every host of 127.0.88.x is present, without ICMP; the identity is asked over TCP. The
// probe of `waitingHost` starts only once `waitFor` is out (or the scan stops).
struct LoopbackScan {
    SharedOutput* output = nullptr;
    std::string waitingHost, waitFor;
    std::atomic<bool> sawIt{false};

    DiscoveryEnvironment env() {
        class Present final : public discovery::PresenceProbe {
        public:
            explicit Present(LoopbackScan& owner) : owner_(owner) {}
            discovery::Presence Test(const std::string& address, std::chrono::milliseconds,
                                     const discovery::StopSignal& stop) override {
                if (address == owner_.waitingHost) {
                    while (!stop.Stopped() && !owner_.output->contains(owner_.waitFor)) stop.SleepFor(5ms);
                    owner_.sawIt = owner_.output->contains(owner_.waitFor);
                }
                return discovery::Presence::Present;
            }

        private:
            LoopbackScan& owner_;
        };
        DiscoveryEnvironment env;
        env.scanBackends = [this] {
            return discovery::ScanBackends{std::make_shared<Present>(*this),
                                           std::make_shared<discovery::TcpIdentityClient>()};
        };
        env.scanOptions.probeSpacing = 20ms;
        env.scanOptions.identityTimeout = 300ms;
        env.scanOptions.finishDelay = 1500ms;
        return env;
    }
};

// A host that takes the connection and never answers would hold the identity loop over
// monitor IDs 1..254 for minutes: the scan ends by the window's own time instead, naming
// that host with its outcome, and the display found is printed while the scan still runs.
TEST(DiscoveryCommands, ScanOfASilentHostEndsInTheWindowsTimeAndPrintsAsItFinds) {
    auto display = StartLan("127.0.88.2", Config("KA-55", 1));
    auto silent = StartLan("127.0.88.3", Config("KA-55", 1, sim::Fault::NeverAnswer));
    SharedOutput buffer;
    std::ostream out(&buffer);
    std::ostringstream err;
    LoopbackScan scan{&buffer, "127.0.88.3", "\"address\":\"127.0.88.2\""};
    const int status = RunDiscoveryCommand(std::vector<std::string>{"scan", "--range", "127.0.88.1-127.0.88.4", "--json"},
                                           out, err, scan.env());
    CtlRun run;
    run.status = status;
    run.out = buffer.str();
    EXPECT_EQ(run.status, kExitOk) << err.str();
    EXPECT_TRUE(scan.sawIt) << "the display found was not printed before the scan went on";
    const auto rows = run.json();
    ASSERT_EQ(rows.size(), 2u) << run.out;
    EXPECT_EQ(rows[0]["address"].toString(), "127.0.88.2");
    EXPECT_EQ(rows[0]["outcome"].toString(), "replied");
    // The identity query that named it.
    EXPECT_EQ(rows[0]["frames"].toArray().size(), 1) << run.out;
    EXPECT_EQ(rows[0]["replies"].toArray().size(), 1) << run.out;
    EXPECT_EQ(rows[1]["address"].toString(), "127.0.88.3");
    EXPECT_EQ(rows[1]["outcome"].toString(), "no-reply");
    EXPECT_FALSE(rows[1]["ok"].toBool());
    // Cut short: not every monitor ID was asked.
    const auto asked = rows[1]["frames"].toArray().size();
    EXPECT_GE(asked, 1);
    EXPECT_LT(asked, 254) << "the identity loop ran through";
}

// The service discovery file groups the displays found by model, in address order.
TEST(DiscoveryCommands, ScanWritesPrometheusServiceDiscovery) {
    auto a = StartLan("127.0.88.11", Config("KA-55", 1));
    auto b = StartLan("127.0.88.12", Config("LM-55", 2));
    auto c = StartLan("127.0.88.13", Config("KA-55", 1));
    SharedOutput unused;
    LoopbackScan scan{&unused, "", ""};
    DiscoveryEnvironment env = scan.env();
    env.scanOptions.lastMonitorId = 3;
    const CtlRun run = Discover({"scan", "--range", "127.0.88.10-127.0.88.14", "--format", "prometheus-sd"}, env);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out));
    const QJsonDocument expected = QJsonDocument::fromJson(R"([
        {"targets": ["127.0.88.11", "127.0.88.13"], "labels": {"model": "KA-55"}},
        {"targets": ["127.0.88.12"], "labels": {"model": "LM-55"}}])");
    EXPECT_EQ(doc, expected) << run.out;
    // Only a scan finds LAN displays to list.
    EXPECT_EQ(Discover({"search", "--port", "/dev/null", "--model", "LM-55", "--format", "prometheus-sd"}, env).status,
              kExitUsage);
}

DiscoveryEnvironment QuickLine() {
    DiscoveryEnvironment env;
    env.serialOptions.searchFirstWaitMs = 60;
    env.serialOptions.searchSecondWaitMs = 10;
    env.serialOptions.checkFirstWaitMs = 60;
    env.serialOptions.checkSecondWaitMs = 10;
    env.serialOptions.checkPauseMs = 10;
    return env;
}

// Search a line, save what answered, then check the saved list against the same line.
TEST(DiscoveryCommands, SearchThenCheckOverTheSimulatedLine) {
    sim::DisplayConfig prefixed = Config("LM-55", 3);
    prefixed.makerPrefix = true;
    auto line = StartLine({Config("LM-55", 2), prefixed, Config("KA-55", 5)});
    const std::string port = line->devicePath();
    QTemporaryDir dir;
    const std::string list = dir.filePath("MO_ID.log").toStdString();
    const DiscoveryEnvironment env = QuickLine();

    CtlRun run = Discover({"search", "--port", port, "--model", "LM-55", "--from", "2", "--to", "6", "--format",
                           "json", "--write-list", list},
                          env);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(Results(Document(run)), (QStringList{"ID 2|LM-55|2", "ID 3|LM-55|3", "ID 5|KA-55|5"}));
    EXPECT_EQ(Hex(line->log()).size(), 5u);  // IDs 2 to 6, one query each
    EXPECT_EQ(ListFile(list), (QStringList{"|LM-55|2", "|LM-55|3", "|KA-55|5"}));

    // ID 3 answers "ORVANTE LM-55", which is not its listed model; ID 7 is not there.
    line->clearLog();
    run = Discover({"check", "--port", port, "--list", list, "--id", "7", "--model", "LM-55", "--format", "json"}, env);
    EXPECT_EQ(run.status, kExitFailed) << run.err;
    const QJsonObject doc = Document(run);
    EXPECT_FALSE(doc["ok"].toBool());
    EXPECT_EQ(Results(doc), (QStringList{"ID 2|LM-55|Y|replied", "ID 3|LM-55|N|replied", "ID 5|KA-55|Y|replied",
                                         "ID 7|LM-55|N|no-reply"}));
    EXPECT_EQ(doc["results"].toArray()[1].toObject()["reported"].toString(), "ORVANTE LM-55");
    EXPECT_EQ(line->log().size(), 4u);

    // Text, with the frames: the query as the page's TX box shows it.
    line->clearLog();
    run = Discover({"check", "--port", port, "--id", "2", "--model", "LM-55", "-v"}, env);
    EXPECT_EQ(run.status, kExitOk) << run.err;
    ASSERT_GE(run.lines().size(), 3u) << run.out;
    EXPECT_EQ(run.lines()[0].rfind("ID 2", 0), 0u);
    EXPECT_NE(run.lines()[0].find("LINK Y  replied"), std::string::npos) << run.lines()[0];
    EXPECT_EQ(run.lines()[1], "  TX " + Hex(line->log())[0]);
}

TEST(DiscoveryCommands, ALineThatDoesNotOpenReachesNothing) {
    const DiscoveryEnvironment env = QuickLine();
    const struct {
        std::vector<std::string> args;
        bool printsRows;
    } cases[] = {
        {{"search", "--port", "/dev/dravik-no-such-line", "--model", "LM-55"}, false},
        {{"check", "--port", "/dev/dravik-no-such-line", "--id", "1", "--model", "LM-55", "--format", "jsonl"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const CtlRun run = Discover(c.args, env);
        EXPECT_EQ(run.status, kExitNothingReached) << run.err;
        if (c.printsRows) {
            ASSERT_EQ(run.json().size(), 1u);
            EXPECT_EQ(run.json()[0]["outcome"].toString(), "port-closed");
            EXPECT_FALSE(run.json()[0]["reachable"].toBool());
        } else {
            EXPECT_NE(run.err.find("dravik-no-such-line"), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace dravik::ctl::testing
