// The scan threads with injected answers and short timings: what the page hears, on
// which thread, and what happens when a scan is cancelled or its page goes away.
#include "discovery/lan_scanner.h"

#include "fakes.h"
#include "support/waits.h"

#include <QCoreApplication>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace dravik::discovery {
namespace {

using namespace fake;
using namespace std::chrono_literals;

ScanOptions Quick() {
    ScanOptions o;
    o.probeSpacing = 1ms;
    o.echoTimeout = o.connectTimeout = o.identityTimeout = 1ms;
    o.finishDelay = 20ms;
    return o;
}

struct RecordingSink final : ScanSink {
    std::vector<FoundDisplay> results;
    std::vector<std::string> events;  // "result ADDRESS", "error", "finished" in arrival order
    int errors = 0;
    int finished = 0;
    bool offThread = false;
    std::function<void()> onResult;
    std::function<void()> onFinished;

    void Check() { offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread(); }
    void OnScanResult(FoundDisplay found) override {
        Check();
        events.push_back("result " + found.address);
        results.push_back(std::move(found));
        if (onResult) onResult();
    }
    void OnScanError() override {
        Check();
        events.push_back("error");
        ++errors;
    }
    void OnScanFinished() override {
        Check();
        events.push_back("finished");
        ++finished;
        if (onFinished) onFinished();
    }
};

// Runs the test thread's event loop until `done` (a generous cap keeps a broken build from
// hanging the suite; no timing is asserted).
bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds cap = 60s) {
    return dravik::testing::WaitUntil(done, cap);
}

void PumpFor(std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void SortByAddress(std::vector<FoundDisplay>& v) {
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.address < b.address; });
}

TEST(LanScanner, FindsTheDisplaysOfTheSubnetThenFinishes) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetPresence("192.168.5.3", Presence::Present);
    net->SetDisplay("192.168.5.3", {{{1, TextReply(1, 0xA2, "KC-46D")}}, {}});
    net->SetPresence("192.168.5.77", Presence::Present);
    net->SetDisplay("192.168.5.77", {{{2, TextReply(2, 0xA2, "ORV")}}, {{2, TextReply(2, 0xA1, "LM-55 ")}}});
    net->SetPresence("192.168.5.200", Presence::Present);
    net->SetDisplay("192.168.5.200", {{{3, ShortReply(3)}}, {}});
    net->SetPresence("192.168.5.10", Presence::Present);  // present, but nothing on port 5000
    net->SetDisplay("192.168.5.11", {{{1, TextReply(1, 0xA2, "KA-42")}}, {}});  // absent: never asked

    std::mutex mutex;
    std::vector<std::string> probed;
    net->SetOnTest([&](const std::string& address) {
        std::lock_guard lock(mutex);
        probed.push_back(address);
    });

    RecordingSink sink;
    bool host254ProbedBeforeFinished = false;
    sink.onFinished = [&] {
        std::lock_guard lock(mutex);
        host254ProbedBeforeFinished = std::find(probed.begin(), probed.end(), "192.168.5.254") != probed.end();
    };
    {
        LanScanner scanner(sink, {net, net}, Quick());
        EXPECT_FALSE(scanner.Start("localhost"));  // no prefix: nothing starts
        ASSERT_TRUE(scanner.Start("192.168.5.77"));
        ASSERT_TRUE(PumpUntil([&] { return sink.finished == 1 && sink.results.size() == 3 && !scanner.Busy(); }));
    }
    SortByAddress(sink.results);
    const std::vector<FoundDisplay> expected = {
        {"192.168.5.200", "unknow", 3}, {"192.168.5.3", "KC-46D", 1}, {"192.168.5.77", "LM-55", 2}};
    EXPECT_EQ(sink.results, expected);
    EXPECT_EQ(sink.errors, 0);
    EXPECT_TRUE(host254ProbedBeforeFinished);
    EXPECT_FALSE(sink.offThread) << "a notification ran off the page's thread";

    std::lock_guard lock(mutex);
    ASSERT_EQ(probed.size(), 254u);
    std::sort(probed.begin(), probed.end());
    std::vector<std::string> all;
    for (int host = 1; host <= 254; ++host) all.push_back("192.168.5." + std::to_string(host));
    std::sort(all.begin(), all.end());
    EXPECT_EQ(probed, all);
}

TEST(LanScanner, WithoutIcmpEveryProbeReportsAnErrorAndNothingFinishes) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetDefault(Presence::Error);
    RecordingSink sink;
    LanScanner scanner(sink, {net, net}, Quick());
    ASSERT_TRUE(scanner.Start("10.1.2.3"));
    ASSERT_TRUE(PumpUntil([&] { return sink.errors == 254 && !scanner.Busy(); }));
    PumpFor(50ms);
    EXPECT_EQ(sink.errors, 254);
    EXPECT_EQ(sink.finished, 0);
    EXPECT_TRUE(sink.results.empty());
}

// A session whose answer comes only when the scan is stopped: a reply that arrives just as
// the operator presses "IP Scan" again.
class LateAnswer final : public PresenceProbe, public IdentityClient {
public:
    std::atomic<int> phase{1};
    std::atomic<int> waiting{0};

    Presence Test(const std::string& address, std::chrono::milliseconds, const StopSignal&) override {
        return address == "10.9.9.5" ? Presence::Present : Presence::Absent;
    }
    std::unique_ptr<IdentitySession> Connect(const std::string&, std::uint16_t, std::chrono::milliseconds,
                                             const StopSignal&) override {
        struct Session final : IdentitySession {
            LateAnswer* owner;
            bool late;
            Bytes Exchange(const protocol::Frame& q, std::chrono::milliseconds, const StopSignal& stop) override {
                if (!late) return TextReply(q[1], 0xA2, "NEW");
                ++owner->waiting;
                while (stop.SleepFor(1s)) {
                }
                return TextReply(q[1], 0xA2, "OLD");
            }
        };
        auto s = std::make_unique<Session>();
        s->owner = this;
        s->late = phase == 1;
        return s;
    }
};

TEST(LanScanner, PressingAgainCancelsTheScanBefore) {
    auto net = std::make_shared<LateAnswer>();
    RecordingSink sink;
    LanScanner scanner(sink, {net, net}, Quick());
    ASSERT_TRUE(scanner.Start("10.9.9.1"));
    ASSERT_TRUE(PumpUntil([&] { return net->waiting > 0; }));
    net->phase = 2;
    ASSERT_TRUE(scanner.Start("10.9.9.1"));
    ASSERT_TRUE(PumpUntil([&] { return sink.finished == 1 && !scanner.Busy(); }));
    PumpFor(50ms);
    EXPECT_EQ(sink.results, (std::vector<FoundDisplay>{{"10.9.9.5", "NEW", 1}}));
    EXPECT_EQ(sink.finished, 1);
}

TEST(LanScanner, CancelSilencesTheScan) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetDefault(Presence::Error);
    RecordingSink sink;
    LanScanner scanner(sink, {net, net}, Quick());
    ASSERT_TRUE(scanner.Start("10.1.2.3"));
    scanner.Cancel();  // before the page ran any event: whatever was queued stays unheard
    ASSERT_TRUE(PumpUntil([&] { return !scanner.Busy(); }));
    PumpFor(50ms);
    EXPECT_TRUE(sink.events.empty());
}

// The page goes away while probes wait in a sent notification for the page's thread, which
// is busy destroying it: neither a hang nor a call into the dead page.
TEST(LanScanner, DestroyedWhileProbesWaitForThePage) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetDefault(Presence::Present);
    for (int host = 1; host <= 254; ++host)
        net->SetDisplay("10.4.4." + std::to_string(host), {{{1, TextReply(1, 0xA2, "KA-42")}}, {}});
    auto sink = std::make_unique<RecordingSink>();
    auto scanner = std::make_unique<LanScanner>(*sink, ScanBackends{net, net}, Quick());
    ASSERT_TRUE(scanner->Start("10.4.4.4"));
    while (net->tests() < 20) std::this_thread::sleep_for(1ms);  // no events run meanwhile
    scanner.reset();
    EXPECT_TRUE(sink->events.empty());
    sink.reset();  // the sanitizer catches any later touch
    PumpFor(50ms);
}

TEST(LanScanner, DestroyedWhileProbesWaitForEchoes) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetHangUntilStopped(true);
    auto sink = std::make_unique<RecordingSink>();
    auto scanner = std::make_unique<LanScanner>(*sink, ScanBackends{net, net}, Quick());
    ASSERT_TRUE(scanner->Start("10.4.4.4"));
    ASSERT_TRUE(PumpUntil([&] { return net->tests() >= 10; }));
    scanner.reset();  // returns once every thread has seen the stop
    sink.reset();
    PumpFor(20ms);
}

// Not a supported use, but it must not deadlock: the page drops the scanner while it
// handles the first row.
TEST(LanScanner, DestroyedFromInsideANotification) {
    auto net = std::make_shared<FakeNetwork>();
    net->SetDefault(Presence::Present);
    for (int host = 1; host <= 254; ++host)
        net->SetDisplay("10.5.5." + std::to_string(host), {{{1, TextReply(1, 0xA2, "KA-42")}}, {}});
    RecordingSink sink;
    auto scanner = std::make_unique<LanScanner>(sink, ScanBackends{net, net}, Quick());
    sink.onResult = [&] { scanner.reset(); };
    ASSERT_TRUE(scanner->Start("10.5.5.5"));
    ASSERT_TRUE(PumpUntil([&] { return scanner == nullptr; }));
    PumpFor(100ms);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(sink.results.size(), 1u);
    EXPECT_EQ(sink.finished, 0);
}

}  // namespace
}  // namespace dravik::discovery
