// LanLink against simulated displays on 127.0.62.1 .. 127.0.62.39; nothing listens on
// 127.0.62.200 .. 127.0.62.219.
#include "transport/lan_link.h"

#include "sim_helpers.h"

#include "protocol/frame.h"
#include "protocol/reply.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace dravik::transport::testing {
namespace {

using namespace std::chrono_literals;
using protocol::Bytes;
using protocol::Frame;

const Frame kTemperatureQuery = Frame::Build(0x2F, {});

ReplyRule QueryRule(Millis timeout = 1000ms) {
    ReplyRule rule;
    rule.timeout = timeout;
    rule.limit = 32;
    return rule;
}

struct Recorder : LinkObserver {
    void linkOpened(const std::string& where, const LinkStatus& status) override {
        events.push_back("open " + where + (status.ok() ? " ok" : " failed"));
    }
    void frameSent(const std::string& where, std::span<const protocol::Byte> frame) override {
        events.push_back("sent " + where + " " + protocol::HexSpaced(frame));
    }
    void replyReceived(const std::string& where, std::span<const protocol::Byte> reply) override {
        events.push_back("reply " + where + " " + std::to_string(reply.size()));
    }
    std::vector<std::string> events;
};

TEST(LanLink, OneExchangePerSimulatorFault) {
    struct Case {
        std::string address;
        sim::Fault fault;
        int lateMs;
        Millis timeout;
        LinkError error;
        std::size_t size;   // reply bytes kept
        int header;         // byte 0 of the reply, -1: none
        int status;         // byte 7 of a short reply, -1: not checked
    };
    const std::vector<Case> cases{
        {"127.0.62.1", sim::Fault::None, 0, 1000ms, LinkError::None, 9, 0x21, -1},
        {"127.0.62.2", sim::Fault::NeverAnswer, 0, 300ms, LinkError::None, 0, -1, -1},
        {"127.0.62.3", sim::Fault::AnswerLate, 800, 200ms, LinkError::None, 0, -1, -1},
        {"127.0.62.4", sim::Fault::AnswerLate, 200, 1500ms, LinkError::None, 9, 0x21, -1},
        {"127.0.62.5", sim::Fault::WrongHeader, 0, 1000ms, LinkError::None, 9, 0x12, -1},
        {"127.0.62.6", sim::Fault::ShortReply, 0, 1000ms, LinkError::None, 9, 0x21, -1},
        {"127.0.62.7", sim::Fault::Nack, 0, 1000ms, LinkError::None, 9, 0x21, 0x03},
        {"127.0.62.8", sim::Fault::Nav, 0, 1000ms, LinkError::None, 9, 0x21, 0x04},
        {"127.0.62.9", sim::Fault::LongReply, 0, 1000ms, LinkError::None, 32, 0x21, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address + " " + sim::FaultName(c.fault));
        auto display = StartLanDisplay(c.address, Config("KA-55", 1, c.fault, c.lateMs));
        LanLink link;
        ASSERT_TRUE(link.open(c.address).ok());
        const ExchangeResult r = link.exchange(kTemperatureQuery.bytes(), QueryRule(c.timeout));
        EXPECT_EQ(r.status.error, c.error) << r.status.systemText;
        EXPECT_TRUE(r.written);
        if (c.fault == sim::Fault::None || c.fault == sim::Fault::AnswerLate || c.fault == sim::Fault::WrongHeader) {
            // A data reply: its length byte says how many follow.
            if (c.size > 0) {
                ASSERT_GE(r.reply.size(), 5u);
                EXPECT_EQ(r.reply.size(), protocol::Reply(r.reply).expectedSize());
            }
        } else {
            EXPECT_EQ(r.reply.size(), c.size);
        }
        if (c.size == 0) {
            EXPECT_TRUE(r.reply.empty());
        }
        if (c.header >= 0 && !r.reply.empty()) {
            EXPECT_EQ(protocol::Reply(r.reply).header(), c.header);
        }
        if (c.status >= 0 && r.reply.size() > 7) {
            EXPECT_EQ(protocol::Reply(r.reply).status(), c.status);
        }
        ASSERT_TRUE(display->waitForLog(1, 2s));
        EXPECT_EQ(display->log().at(0).bytes, kTemperatureQuery.bytes());
        link.close();
        EXPECT_FALSE(link.isOpen());
    }
}

TEST(LanLink, PeerThatClosesAtOnceGivesNoReplyAndAnError) {
    auto display = StartLanDisplay("127.0.62.10", Config("KA-55", 1, sim::Fault::CloseAtOnce));
    LanLink link;
    ASSERT_TRUE(link.open("127.0.62.10").ok());
    const ExchangeResult r = link.exchange(kTemperatureQuery.bytes(), QueryRule(1000ms));
    EXPECT_TRUE(r.reply.empty());
    EXPECT_TRUE(r.status.error == LinkError::PeerClosed || r.status.error == LinkError::WriteFailed)
        << static_cast<int>(r.status.error) << " " << r.status.systemText;
}

TEST(LanLink, FailedOpens) {
    auto resolver = [](const std::string& name, Millis bound) -> ResolvedAddress {
        if (name == "display-a") return {{}, "127.0.62.11"};
        if (name == "slow-name") return {{LinkError::ConnectTimedOut, "timed out after " + std::to_string(bound.count())}, {}};
        return {{LinkError::NameNotResolved, "unknown host"}, {}};
    };
    auto display = StartLanDisplay("127.0.62.11");
    const std::vector<std::pair<std::string, LinkError>> cases{
        {"127.0.62.11", LinkError::None},         {" display-a ", LinkError::None},
        {"127.0.62.200", LinkError::ConnectRefused}, {"", LinkError::NameNotResolved},
        {"no-such-display", LinkError::NameNotResolved}, {"slow-name", LinkError::ConnectTimedOut},
        {"::1", LinkError::NameNotResolved},
    };
    for (const auto& [address, error] : cases) {
        SCOPED_TRACE(address);
        LanLinkOptions options;
        options.resolve = resolver;
        LanLink link(options);
        const LinkStatus status = link.open(address);
        EXPECT_EQ(status.error, error) << status.systemText;
        EXPECT_EQ(link.isOpen(), error == LinkError::None);
        if (error != LinkError::None) {
            EXPECT_FALSE(status.systemText.empty());
        }
        if (!link.isOpen()) {
            EXPECT_EQ(link.exchange(kTemperatureQuery.bytes(), QueryRule()).status.error, LinkError::PortClosed);
        }
    }
}

TEST(LanLink, TimeoutZeroReadsNothingAndDrainDropsTheTailOfALongReply) {
    auto display = StartLanDisplay("127.0.62.12", Config("KA-55", 1, sim::Fault::LongReply));
    LanLink link;
    Recorder recorder;
    link.setObserver(&recorder);
    ASSERT_TRUE(link.open("127.0.62.12").ok());
    ReplyRule sendOnly;
    sendOnly.pause = 200ms;  // the answer arrives meanwhile and must not be read
    const ExchangeResult first = link.exchange(kTemperatureQuery.bytes(), sendOnly);
    EXPECT_TRUE(first.status.ok());
    EXPECT_TRUE(first.reply.empty());
    // The whole long answer to the first frame waits; the drain must discard it so that the
    // reply to the second frame starts with its own header.
    const ExchangeResult second = link.exchange(kTemperatureQuery.bytes(), QueryRule());
    ASSERT_EQ(second.reply.size(), 32u);
    EXPECT_EQ(protocol::Reply(second.reply).header(), 0x21);
    ASSERT_TRUE(display->waitForLog(2, 2s));
    const std::string hex = protocol::HexSpaced(kTemperatureQuery.bytes());
    EXPECT_EQ(recorder.events, (std::vector<std::string>{"open 127.0.62.12 ok", "sent 127.0.62.12 " + hex,
                                                         "sent 127.0.62.12 " + hex, "reply 127.0.62.12 32"}));
}


// A display that takes longer than one cancel slice (50 ms) to accept is still reached while
// the link can be cancelled, and a cancel ends a pending connect soon. The slow accept: a
// listener whose one-entry accept queue is full drops the SYN; the kernel sends it again after
// about a second, by when the test has taken the first connection off the queue.
TEST(LanLink, ASlowAcceptConnectsAndACancelEndsAPendingConnect) {
    const auto listener = [](quint16& port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F003E50);  // 127.0.62.80
        socklen_t len = sizeof a;
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), len), 0);
        EXPECT_EQ(::listen(fd, 0), 0);
        EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len), 0);
        port = ntohs(a.sin_port);
        // The queue's one place, taken.
        const int first = ::socket(AF_INET, SOCK_STREAM, 0);
        EXPECT_EQ(::connect(first, reinterpret_cast<sockaddr*>(&a), len), 0);
        return std::pair<int, int>{fd, first};
    };
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled after 300 ms" : "accepted after about a second");
        quint16 port = 0;
        const auto [fd, first] = listener(port);
        std::atomic<bool> stop{false};
        LanLinkOptions options;
        options.port = port;
        options.cancelled = [&] { return stop.load(); };
        std::thread helper([&, fd = fd] {
            std::this_thread::sleep_for(300ms);
            if (cancel) {
                stop = true;
            } else {
                ::close(::accept(fd, nullptr, nullptr));
            }
        });
        LanLink link(options);
        const LinkStatus status = link.open("127.0.62.80");
        helper.join();
        EXPECT_EQ(status.ok(), !cancel) << status.systemText;
        link.close();
        ::close(first);
        ::close(fd);
    }
}

}  // namespace
}  // namespace dravik::transport::testing
