// One probe with injected presence and identity answers: which row, if any, it reports.
#include "discovery/probe.h"

#include "fakes.h"

#include <gtest/gtest.h>

namespace dravik::discovery {
namespace {

using namespace fake;

ScanOptions Quick() {
    ScanOptions o;
    o.echoTimeout = o.connectTimeout = o.identityTimeout = std::chrono::milliseconds(1);
    o.finishDelay = std::chrono::milliseconds(1);
    o.probeSpacing = std::chrono::milliseconds(1);
    return o;
}

TEST(IdentifyDisplay, ModelTextAndMonitorId) {
    const Bytes notAReply = {0x15, 0x03, 0x00, 0x00, 0x04, 0x01, 0xA2, 0x00, 0x00};
    struct Case {
        const char* name;
        DisplayScript script;
        std::optional<IdentityAnswer> answer;
        std::vector<Asked> exchanges;  // empty: not checked
    };
    const Case cases[] = {
        {"model text, no tag", {{{1, TextReply(1, 0xA2, "KC-46D")}}, {}}, IdentityAnswer{"KC-46D", 1},
         {{1, 0xA2}}},
        {"short reply at ID 3 is unknow", {{{3, ShortReply(3)}}, {}}, IdentityAnswer{"unknow", 3},
         {{1, 0xA2}, {2, 0xA2}, {3, 0xA2}}},
        {"ORV then LM-55 with a blank", {{{1, TextReply(1, 0xA2, "ORV")}}, {{1, TextReply(1, 0xA1, "LM-55 ")}}},
         IdentityAnswer{"LM-55", 1}, {{1, 0xA2}, {1, 0xA1}}},
        {"ORV then no reply frame", {{{1, TextReply(1, 0xA2, "ORV")}}, {{1, notAReply}}}, IdentityAnswer{"ORV", 1}, {}},
        {"ORV then nothing", {{{2, TextReply(2, 0xA2, "ORV")}}, {}}, IdentityAnswer{"ORV", 2}, {}},
        {"LM tag", {{{1, TextReply(1, 0xA2, "LM")}}, {{1, TextReply(1, 0xA1, "LM-4302")}}}, IdentityAnswer{"LM-4302", 1}, {}},
        {"JSV-Q tag", {{{1, TextReply(1, 0xA2, "JSV-Q")}}, {{1, TextReply(1, 0xA1, "JSV-5501Q")}}},
         IdentityAnswer{"JSV-5501Q", 1}, {}},
        {"KA-xxQ tag", {{{1, TextReply(1, 0xA2, "KA-xxQ")}}, {{1, TextReply(1, 0xA1, "KA-65Q\t ")}}},
         IdentityAnswer{"KA-65Q", 1}, {}},
        {"ORV_92Q tag", {{{1, TextReply(1, 0xA2, "ORV_92Q")}}, {{1, TextReply(1, 0xA1, "NFB-8603")}}},
         IdentityAnswer{"NFB-8603", 1}, {}},
        {"a tag with a blank is no tag", {{{1, TextReply(1, 0xA2, "ORV ")}}, {{1, TextReply(1, 0xA1, "LM-55")}}},
         IdentityAnswer{"ORV", 1}, {{1, 0xA2}}},
        {"trailing white space removed", {{{1, TextReply(1, 0xA2, "KA-42 \r\n")}}, {}}, IdentityAnswer{"KA-42", 1}, {}},
        {"second reply of another command keeps the tag",
         {{{1, TextReply(1, 0xA2, "LM")}}, {{1, TextReply(1, 0x2F, "LM-55")}}}, IdentityAnswer{"LM", 1}, {}},
        {"first replies that are no reply frame", {{{1, notAReply}, {2, TextReply(2, 0xA2, "KB-65")}}, {}},
         IdentityAnswer{"KB-65", 2}, {}},
        {"a reply frame of another command reports an empty model",
         {{{1, TextReply(1, 0x2F, "XY")}}, {}}, IdentityAnswer{"", 1}, {}},
        {"never answered", {}, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        std::vector<Asked> log;
        ScriptedSession session(c.script, &log);
        EXPECT_EQ(IdentifyDisplay(session, Quick(), StopSignal{}), c.answer) << c.name;
        if (!c.exchanges.empty()) {
            EXPECT_EQ(log, c.exchanges) << c.name;
        }
    }
}

TEST(IdentifyDisplay, TriesEveryIdOnceThenGivesUp) {
    std::vector<Asked> log;
    ScriptedSession silent(DisplayScript{}, &log);
    EXPECT_EQ(IdentifyDisplay(silent, Quick(), StopSignal{}), std::nullopt);
    ASSERT_EQ(log.size(), 254u);
    EXPECT_EQ(log.front(), (Asked{1, 0xA2}));
    EXPECT_EQ(log.back(), (Asked{254, 0xA2}));

    StopSignal stopped;
    stopped.Stop();
    log.clear();
    EXPECT_EQ(IdentifyDisplay(silent, Quick(), stopped), std::nullopt);
    EXPECT_TRUE(log.empty());
}

struct Recorder final : ProbeReporter {
    std::vector<FoundDisplay> results;
    int errors = 0;
    int finished = 0;
    void Result(FoundDisplay f) override { results.push_back(std::move(f)); }
    void Error() override { ++errors; }
    void Finished() override { ++finished; }
};

TEST(RunProbe, ReportsPerPresenceAndHost) {
    struct Case {
        const char* name;
        Presence presence;
        bool display;  // a display answers at port 5000
        int host;
        std::vector<FoundDisplay> results;
        int errors;
        int finished;
    };
    const FoundDisplay found{"10.0.0.7", "KA-55", 4};
    const Case cases[] = {
        {"present display", Presence::Present, true, 7, {found}, 0, 0},
        {"present host without port 5000", Presence::Present, false, 7, {}, 0, 0},
        {"absent host is not asked", Presence::Absent, true, 7, {}, 0, 0},
        {"presence test failed", Presence::Error, true, 7, {}, 1, 0},
        {"host 254 finishes the scan", Presence::Absent, false, 254, {}, 0, 1},
        {"host 254 reports before finishing", Presence::Present, true, 254, {found}, 0, 1},
        {"host 254 with an error does not finish", Presence::Error, true, 254, {}, 1, 0},
    };
    for (const auto& c : cases) {
        auto net = std::make_shared<FakeNetwork>();
        net->SetPresence("10.0.0.7", c.presence);
        net->SetPresence("10.0.0.254", c.presence);
        const std::string address = "10.0.0." + std::to_string(c.host);
        if (c.display) net->SetDisplay(address, {{{4, TextReply(4, 0xA2, "KA-55")}}, {}});
        Recorder r;
        RunProbe({address, c.host}, {net, net}, Quick(), StopSignal{}, r);
        auto expected = c.results;
        for (auto& e : expected) e.address = address;
        EXPECT_EQ(r.results, expected) << c.name;
        EXPECT_EQ(r.errors, c.errors) << c.name;
        EXPECT_EQ(r.finished, c.finished) << c.name;
    }
}

TEST(RunProbe, StoppedProbeReportsNothing) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetDefault(Presence::Error);
    StopSignal stop;
    stop.Stop();
    Recorder r;
    RunProbe({"10.0.0.254", 254}, {net, net}, Quick(), stop, r);
    EXPECT_EQ(r.errors + r.finished + static_cast<int>(r.results.size()), 0);
}

}  // namespace
}  // namespace dravik::discovery
