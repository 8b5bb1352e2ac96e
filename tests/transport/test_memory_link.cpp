// The scripted link the flow tests run on, and the deadline waiter.
#include "transport/memory_link.h"
#include "transport/waiter.h"

#include "protocol/frame.h"

#include <gtest/gtest.h>


namespace dravik::transport::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Bytes;
using protocol::Frame;

const Bytes kFrame = Frame::Build(0x2F, {}).bytes();
const Bytes kAnswer{0x21, 0x01, 0x00, 0x00, 0x06, 0x01, 0x2F, 0x20, 0x00, 0x0F};

MemoryLink::Responder Answers(Bytes bytes) {
    return [bytes](std::span<const protocol::Byte>) { return bytes; };
}

ReplyRule Rule(Millis pause, Millis timeout, Millis retry = 0ms, int limit = 32) {
    ReplyRule r;
    r.pause = pause;
    r.timeout = timeout;
    r.retry = retry;
    r.limit = limit;
    return r;
}

TEST(MemoryLink, LanFaultsPerStep) {
    struct Case {
        const char* name;
        std::vector<MemoryFault> faults;  // open is the first step when it is a connect fault
        ReplyRule rule;
        LinkError openError;
        LinkError error;
        Bytes reply;
        std::size_t framesSeen;  // bytes of the frame the peer got; 0: no frame recorded
        Millis elapsed;
    };
    const Bytes half(kAnswer.begin(), kAnswer.begin() + 5);
    const std::vector<Case> cases{
        {"plain", {}, Rule(300ms, 3500ms), LinkError::None, LinkError::None, kAnswer, kFrame.size(), 300ms},
        {"send only", {}, Rule(250ms, 0ms), LinkError::None, LinkError::None, {}, kFrame.size(), 250ms},
        {"refused", {MemoryFault::ConnectRefused}, Rule(0ms, 3500ms), LinkError::ConnectRefused, LinkError::PortClosed, {}, 0, 0ms},
        {"hangs", {MemoryFault::ConnectHangs}, Rule(0ms, 3500ms), LinkError::ConnectTimedOut, LinkError::PortClosed, {}, 0, 50ms},
        {"short write", {MemoryFault::WriteShort}, Rule(100ms, 3500ms), LinkError::None, LinkError::WriteFailed, {}, kFrame.size() / 2, 0ms},
        {"write error", {MemoryFault::WriteError}, Rule(100ms, 3500ms), LinkError::None, LinkError::WriteFailed, {}, 0, 0ms},
        {"split", {MemoryFault::SplitReply}, Rule(0ms, 3500ms), LinkError::None, LinkError::None, {0x21}, kFrame.size(), 0ms},
        {"late", {MemoryFault::LateReply}, Rule(100ms, 3500ms), LinkError::None, LinkError::None, {}, kFrame.size(), 3600ms},
        {"mid-reply close", {MemoryFault::PeerClosesMidReply}, Rule(0ms, 3500ms), LinkError::None, LinkError::None, half, kFrame.size(), 0ms},
        {"long", {}, Rule(0ms, 3500ms, 0ms, 4), LinkError::None, LinkError::None, Bytes(kAnswer.begin(), kAnswer.begin() + 4), kFrame.size(), 0ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLink link;
        link.setConnectBound(50ms);
        link.setPeer("10.9.8.7", Answers(kAnswer));
        link.queueFaults("10.9.8.7", c.faults);
        EXPECT_EQ(link.open("10.9.8.7").error, c.openError);
        const ExchangeResult r = link.exchange(kFrame, c.rule);
        EXPECT_EQ(r.status.error, c.error);
        EXPECT_EQ(r.reply, c.reply);
        EXPECT_EQ(r.written, c.error == LinkError::None);
        ASSERT_EQ(link.sent().size(), c.framesSeen ? 1u : 0u);
        if (c.framesSeen) {
            EXPECT_EQ(link.sent()[0].frame, Bytes(kFrame.begin(), kFrame.begin() + static_cast<long>(c.framesSeen)));
            EXPECT_EQ(link.sent()[0].where, "10.9.8.7");
        }
        EXPECT_EQ(link.clock().now(), c.elapsed);
    }
}

TEST(MemoryLink, WhatStaysBehindAndWhatFollows) {
    MemoryLink link;
    link.setPeer("a", Answers(kAnswer));
    ASSERT_TRUE(link.open("a").ok());
    // The rest of a split reply waits for the next read; the drain throws it away.
    link.queueFaults("a", {MemoryFault::SplitReply});
    EXPECT_EQ(link.exchange(kFrame, Rule(0ms, 100ms)).reply, Bytes{0x21});
    ReplyRule keep = Rule(0ms, 100ms);
    keep.drainFirst = false;
    link.setPeer("a", Answers({}));
    EXPECT_EQ(link.exchange(kFrame, keep).reply, Bytes(kAnswer.begin() + 1, kAnswer.end()));
    // After the peer hung up mid-reply, the connection is gone.
    link.setPeer("a", Answers(kAnswer));
    link.queueFaults("a", {MemoryFault::PeerClosesMidReply});
    EXPECT_EQ(link.exchange(kFrame, Rule(0ms, 100ms)).reply.size(), kAnswer.size() / 2);
    EXPECT_EQ(link.exchange(kFrame, Rule(0ms, 100ms)).status.error, LinkError::PeerClosed);
    // A new connection works again; a peer with no script refuses.
    EXPECT_TRUE(link.open("a").ok());
    EXPECT_EQ(link.exchange(kFrame, Rule(0ms, 100ms)).reply, kAnswer);
    EXPECT_EQ(link.open("b").error, LinkError::ConnectRefused);
    EXPECT_EQ(link.sent().size(), 4u);
}

TEST(MemoryLink, SerialLineByMonitorId) {
    VirtualClock clock;
    MemoryLink link(MemoryLink::Style::Serial, &clock);
    auto frameFor = [](int id) {
        Frame f = Frame::Build(0x2F, {});
        f.SetMonitorId(static_cast<protocol::Byte>(id));
        return f.bytes();
    };
    link.setPeer(1, [](std::span<const protocol::Byte> frame) { return Bytes{0x21, frame[1]}; });
    link.setPeer(2, Answers(Bytes(200, 0x21)));
    ASSERT_TRUE(link.open("ignored").ok());
    ReplyRule query = Rule(800ms, 150ms, 500ms, 128);
    query.drainWait = 150ms;

    struct Step {
        int id;
        std::vector<MemoryFault> faults;
        LinkError error;
        std::size_t size;
        Millis waited;  // virtual time of this step
    };
    const std::vector<Step> steps{
        {1, {}, LinkError::None, 2, 150ms + 800ms},
        {2, {}, LinkError::None, 128, 150ms + 800ms},                  // 72 bytes stay behind
        {1, {}, LinkError::None, 2, 800ms},                            // the drain found them: no wait
        {3, {}, LinkError::None, 0, 150ms + 800ms + 150ms + 500ms + 150ms},  // nobody at ID 3
        {1, {MemoryFault::LateReply}, LinkError::None, 0, 150ms + 800ms + 150ms + 500ms + 150ms},
        {1, {}, LinkError::None, 2, 800ms},                            // drain took the late one
        {1, {MemoryFault::DeviceVanishes}, LinkError::WriteFailed, 0, 150ms},
        {1, {}, LinkError::PortClosed, 0, 0ms},
        {2, {}, LinkError::PortClosed, 0, 0ms},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(i);
        link.queueFaults(s.id, s.faults);
        const Millis before = clock.now();
        const ExchangeResult r = link.exchange(frameFor(s.id), query);
        EXPECT_EQ(r.status.error, s.error);
        EXPECT_EQ(r.reply.size(), s.size);
        EXPECT_EQ(clock.now() - before, s.waited);
    }
    EXPECT_EQ(link.open("").error, LinkError::PortClosed);
    link.reopen();
    EXPECT_TRUE(link.open("").ok());
    EXPECT_EQ(link.exchange(frameFor(1), query).reply, (Bytes{0x21, 0x01}));
    std::vector<std::string> order;
    for (const auto& s : link.sent()) order.push_back(s.where);
    EXPECT_EQ(order, (std::vector<std::string>{"ID 1", "ID 2", "ID 1", "ID 3", "ID 1", "ID 1", "ID 1"}));
}

TEST(Waiter, NothingToWaitReturnsAtOnce) {
    // No upper time bound here: a call that sleeps instead of returning shows as this
    // test's ctest timeout (a negative or Forever wait would never come back).
    WaitFor(0ms);
    WaitFor(-5ms);
    WaitUntil(QDeadlineTimer(0));
    WaitUntil(QDeadlineTimer(QDeadlineTimer::Forever));
    VirtualClock clock;
    clock.wait(250ms);
    clock.wait(-1ms);
    clock.wait(450ms);
    EXPECT_EQ(clock.now(), 700ms);
}

}  // namespace
}  // namespace dravik::transport::testing
