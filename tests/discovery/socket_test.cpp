// The system backends on loopback only: one echo to 127.0.0.1, and identity exchanges with
// simulated displays on 127.0.213.x.
#include "discovery/linux_presence.h"
#include "discovery/probe.h"
#include "discovery/tcp_identity.h"
#include "display-sim/lan_display.h"
#include "protocol/identity.h"

#include "fakes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace dravik::discovery {
namespace {

using namespace std::chrono_literals;
using fake::Bytes;
using fake::TextReply;

bool CanOpen(int type) {
    const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

TEST(LinuxPresenceProbe, EchoToLoopback) {
    struct Case { const char* name; IcmpSocketKind kind; int type; };
    const Case cases[] = {
        {"raw socket", IcmpSocketKind::Raw, SOCK_RAW},
        {"ping socket", IcmpSocketKind::Ping, SOCK_DGRAM},
    };
    int ran = 0;
    for (const auto& c : cases) {
        if (!CanOpen(c.type)) continue;  // no CAP_NET_RAW, or ping_group_range leaves us out
        ++ran;
        // An empty neighbour table: presence must come from the echo itself.
        LinuxPresenceProbe probe(c.kind, "/nonexistent/arp");
        EXPECT_EQ(probe.Test("127.0.0.1", 5000ms, StopSignal{}), Presence::Present) << c.name;
        StopSignal stopped;
        stopped.Stop();
        EXPECT_EQ(probe.Test("127.0.0.1", 5000ms, stopped), Presence::Stopped) << c.name;
    }
    LinuxPresenceProbe probe;
    EXPECT_EQ(probe.Test("not an address", 10ms, StopSignal{}), Presence::Error);
    if (ran == 0) GTEST_SKIP() << "neither a raw nor a ping ICMP socket may be opened here";
}

TEST(LinuxPresenceProbe, NoIcmpSocketIsAnError) {
    if (CanOpen(SOCK_DGRAM)) GTEST_SKIP() << "ping sockets are allowed here";
    LinuxPresenceProbe probe(IcmpSocketKind::Ping);
    EXPECT_EQ(probe.Test("127.0.0.1", 10ms, StopSignal{}), Presence::Error);
}

// A one-connection display on 127.0.0.1 whose answer to every query is written in pieces.
class PieceServer {
public:
    explicit PieceServer(std::vector<Bytes> pieces) : pieces_(std::move(pieces)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listen_, 1) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~PieceServer() {
        ::shutdown(listen_, SHUT_RDWR);
        thread_.join();
        ::close(listen_);
    }
    std::uint16_t port() const { return port_; }

private:
    void Serve() {
        const int fd = ::accept(listen_, nullptr, nullptr);
        if (fd < 0) return;
        std::uint8_t query[10];
        while (::recv(fd, query, sizeof query, MSG_WAITALL) == static_cast<ssize_t>(sizeof query)) {
            for (const auto& piece : pieces_) {
                ::send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
                std::this_thread::sleep_for(100ms);
            }
        }
        ::close(fd);
    }

    std::vector<Bytes> pieces_;
    int listen_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

TEST(TcpIdentityClient, ReplyInPiecesIsPutTogether) {
    const Bytes whole = TextReply(1, 0xA2, "KCV-5501D");
    PieceServer server({Bytes(whole.begin(), whole.begin() + 3), Bytes(whole.begin() + 3, whole.begin() + 9),
                        Bytes(whole.begin() + 9, whole.end())});
    TcpIdentityClient client;
    auto session = client.Connect("127.0.0.1", server.port(), 5000ms, StopSignal{});
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->Exchange(protocol::BuildIdentityQuery(protocol::IdentityForm::A2, 1), 5000ms, StopSignal{}),
              whole);
}

TEST(TcpIdentityClient, RefusedPortGivesNoSession) {
    // A bound socket that does not listen: connecting to it is refused.
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size), 0);
    TcpIdentityClient client;
    EXPECT_EQ(client.Connect("127.0.0.1", ntohs(a.sin_port), 5000ms, StopSignal{}), nullptr);
    EXPECT_EQ(client.Connect("127.0.0.256", 5000, 5000ms, StopSignal{}), nullptr);
    ::close(fd);
}

// Identity of simulated displays through real sockets, one loopback address each.
TEST(TcpIdentityClient, IdentifiesSimulatedDisplays) {
    using sim::DisplayConfig;
    using sim::Fault;
    struct Case {
        const char* name;
        DisplayConfig config;
        std::optional<IdentityAnswer> answer;
    };
    auto display = [](std::string model, int id, Fault fault = Fault::None) {
        DisplayConfig c;
        c.model = std::move(model);
        c.monitorId = id;
        c.answerAnyId = false;
        c.fault = fault;
        return c;
    };
    const Case cases[] = {
        {"tag then model", display("LM-55", 2), IdentityAnswer{"LM-55", 2}},
        {"model at once", display("KC-46D", 1), IdentityAnswer{"KC-46D", 1}},
        {"short replies", display("KA-42", 3, Fault::ShortReply), IdentityAnswer{"unknow", 3}},
        // 32 bytes are taken; the padding left in the socket must not pass for the second reply.
        {"overlong replies", display("LM-65", 1, Fault::LongReply), IdentityAnswer{"LM-65", 1}},
        {"wrong header", display("KA-42", 1, Fault::WrongHeader), std::nullopt},
        {"hangs up at once", display("KA-42", 1, Fault::CloseAtOnce), std::nullopt},
    };
    int host = 10;
    for (const auto& c : cases) {
        sim::LanDisplay lan("127.0.213." + std::to_string(host++), c.config, 0);
        std::string error;
        ASSERT_TRUE(lan.start(&error)) << error;
        ScanOptions options;
        options.identityTimeout = 300ms;
        options.lastMonitorId = 4;
        TcpIdentityClient client;
        auto session = client.Connect(lan.address(), lan.port(), 5000ms, StopSignal{});
        ASSERT_NE(session, nullptr) << c.name;
        EXPECT_EQ(IdentifyDisplay(*session, options, StopSignal{}), c.answer) << c.name;
    }
}

TEST(TcpIdentityClient, StopEndsAWaitAtOnce) {
    sim::DisplayConfig config;
    config.fault = sim::Fault::NeverAnswer;
    sim::LanDisplay lan("127.0.213.30", config, 0);
    ASSERT_TRUE(lan.start());
    TcpIdentityClient client;
    auto session = client.Connect(lan.address(), lan.port(), 5000ms, StopSignal{});
    ASSERT_NE(session, nullptr);
    StopSignal stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(50ms);
        stop.Stop();
    });
    // Would wait ten minutes without the stop.
    EXPECT_TRUE(session->Exchange(protocol::BuildIdentityQuery(protocol::IdentityForm::A2, 1), 600s, stop).empty());
    stopper.join();
}

}  // namespace
}  // namespace dravik::discovery
