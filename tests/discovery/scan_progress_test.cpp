// The scan's progress count and the point at which host 254 finishes the scan.
#include "discovery/lan_scanner.h"

#include "fakes.h"
#include "support/waits.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace dravik::discovery {
namespace {

using namespace fake;
using namespace std::chrono_literals;

struct CountingReporter final : ProbeReporter {
    int results = 0, errors = 0, finished = 0, probed = 0;
    int probedBeforeFinish = -1;
    void Result(FoundDisplay) override { ++results; }
    void Error() override { ++errors; }
    void Finished() override {
        probedBeforeFinish = probed;
        ++finished;
    }
    void Probed() override { ++probed; }
};

// Host 254 sends "finished" at the time the scan thread gave it, not a finish delay after its
// own end: with a finish delay of a minute and a time already past, it finishes at once (a
// regression would hang until the test's time-out).
TEST(RunProbe, Host254FinishesAtTheGivenTimeAndCountsItselfFirst) {
    struct Case {
        const char* name;
        Presence presence;
        bool stopped;
        int probed, errors, finished;
    };
    const Case cases[] = {
        {"absent", Presence::Absent, false, 1, 0, 1},
        {"present, no display", Presence::Present, false, 1, 0, 1},
        {"error: counted, never finishes", Presence::Error, false, 1, 1, 0},
        {"stopped: nothing at all", Presence::Absent, true, 0, 0, 0},
    };
    for (const auto& c : cases) {
        auto net = std::make_shared<FakeNetwork>();
        net->SetDefault(c.presence);
        ScanOptions options;
        options.finishDelay = 60s;
        options.echoTimeout = options.connectTimeout = options.identityTimeout = 1ms;
        StopSignal stop;
        if (c.stopped) stop.Stop();
        ScanRequest request{"127.0.63.254", 254, std::chrono::steady_clock::now()};
        CountingReporter r;
        RunProbe(request, {net, net}, options, stop, r);
        EXPECT_EQ(r.probed, c.probed) << c.name;
        EXPECT_EQ(r.errors, c.errors) << c.name;
        EXPECT_EQ(r.finished, c.finished) << c.name;
        if (c.finished) {
            EXPECT_EQ(r.probedBeforeFinish, 1) << c.name;
        }
    }
}

struct ProgressSink final : ScanSink {
    std::vector<int> progress;
    int total = 0, finished = 0, errors = 0;
    void OnScanResult(FoundDisplay) override {}
    void OnScanError() override { ++errors; }
    void OnScanFinished() override { ++finished; }
    void OnScanProgress(int probed, int all) override {
        progress.push_back(probed);
        total = all;
    }
};

bool PumpUntil(const std::function<bool()>& done) { return dravik::testing::WaitUntil(done, 60s); }

// The count never goes down and ends at 254 of 254, also when every probe fails.
TEST(LanScanner, ProgressCountsEveryHostOnceInOrder) {
    for (const Presence presence : {Presence::Absent, Presence::Error}) {
        auto net = std::make_shared<FakeNetwork>();
        net->SetDefault(presence);
        net->SetPresence("127.0.63.9", Presence::Present);
        net->SetDisplay("127.0.63.9", {{{1, TextReply(1, 0xA2, "KA-42")}}, {}});
        ScanOptions o;
        o.probeSpacing = 1ms;
        o.echoTimeout = o.connectTimeout = o.identityTimeout = 1ms;
        o.finishDelay = 20ms;
        ProgressSink sink;
        LanScanner scanner(sink, {net, net}, o);
        ASSERT_TRUE(scanner.Start("127.0.63.1"));
        const bool finishes = presence != Presence::Error;
        ASSERT_TRUE(PumpUntil([&] {
            return !scanner.Busy() && !sink.progress.empty() && sink.progress.back() == kLastHost &&
                   (!finishes || sink.finished == 1);
        }));
        EXPECT_EQ(sink.total, kLastHost);
        EXPECT_TRUE(std::is_sorted(sink.progress.begin(), sink.progress.end()));
        EXPECT_EQ(sink.progress.size(), static_cast<std::size_t>(kLastHost));
        EXPECT_EQ(sink.finished, finishes ? 1 : 0);
    }
}

}  // namespace
}  // namespace dravik::discovery
