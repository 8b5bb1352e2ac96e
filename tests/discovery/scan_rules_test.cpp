// Pure pieces of the scan: targets, page filters, ICMP bytes, neighbour table, reply length.
#include "discovery/icmp.h"
#include "discovery/neighbour_table.h"
#include "discovery/scan_rules.h"
#include "discovery/tcp_identity.h"
#include "protocol/models.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstring>
#include <random>

namespace dravik::discovery {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ScanTargets, CutAfterTheLastDot) {
    const auto targets = ScanTargets("192.168.5.77");
    ASSERT_EQ(targets.size(), 254u);
    EXPECT_EQ(targets.front(), "192.168.5.1");
    EXPECT_EQ(targets[76], "192.168.5.77");
    EXPECT_EQ(targets.back(), "192.168.5.254");

    struct Case { const char* address; std::optional<std::string> prefix; };
    const Case cases[] = {
        {"192.168.5.77", "192.168.5."},
        {"10.0.0.0", "10.0.0."},
        {"10.0.0.", "10.0.0."},
        {"localhost", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanPrefix(c.address), c.prefix) << c.address;
    EXPECT_TRUE(ScanTargets("nodots").empty());
}

TEST(ParseIpv4, StrictDottedQuad) {
    struct Case { const char* text; std::optional<std::uint32_t> value; };
    const Case cases[] = {
        {"10.213.77.5", 0x0AD54D05u}, {"0.0.0.0", 0u},         {"255.255.255.255", 0xFFFFFFFFu},
        {"256.1.1.1", std::nullopt},  {"1.2.3", std::nullopt}, {"1.2.3.4.5", std::nullopt},
        {"1..3.4", std::nullopt},     {"1.2.3.4 ", std::nullopt}, {"a.b.c.d", std::nullopt},
        {"0001.2.3.4", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseIpv4(c.text), c.value) << c.text;
}

TEST(PageFilters, LockModelAndWallModels) {
    struct Case { const char* reported; bool lock; const char* selected; bool control; bool wall; };
    const Case cases[] = {
        {"LM-65", true, "LM-55", false, false},  // "Lock Model" drops other models
        {"LM-55", true, "LM-55", true, false},   // kept on "Control"; never on "Tilvane"
        {"LM-55", false, "KA-42", true, false},
        {"KC-46D", false, "KA-42", true, true},
        {"KC-46D", true, "KA-42", false, false},
        {"KC55-D3", false, "", true, true},
        {"unknow", false, "", true, false},
        {"ORV", false, "", true, false},
        {"kc-46d", false, "", true, false},       // exact, case-sensitive
        {"KC-46D ", false, "", true, false},
    };
    for (const auto& c : cases) {
        const FoundDisplay found{"10.0.0.5", c.reported, 1};
        EXPECT_EQ(ControlPageKeeps(found, c.lock, c.selected), c.control) << c.reported;
        EXPECT_EQ(WallPageKeeps(found, c.lock, c.selected), c.wall) << c.reported;
    }
    for (auto model : protocol::wall_models::kScanFilter) {
        EXPECT_TRUE(WallPageKeeps({"10.0.0.5", std::string(model), 1}, false, "")) << model;
    }
}

TEST(Icmp, EchoRequestLayoutAndChecksum) {
    const auto packet = BuildEchoRequest(0x1234, 1);
    EXPECT_EQ(packet[0], 8);
    EXPECT_EQ(packet[1], 0);
    std::uint16_t id;
    std::memcpy(&id, &packet[4], 2);
    EXPECT_EQ(id, 0x1234);  // as the host stores it
    EXPECT_EQ(packet[6], 0x00);
    EXPECT_EQ(packet[7], 0x01);
    for (std::size_t i = 8; i < packet.size(); ++i) EXPECT_EQ(packet[i], 0) << i;
    // A correct checksum makes the sum over the whole packet come out as zero.
    EXPECT_EQ(InternetChecksum(packet), 0);

    // Known value (RFC 1071 example words 0001 f203 f4f5 f6f7 -> sum ddf2, checksum 220d).
    const Bytes words = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(ntohs(InternetChecksum(words)), 0x220d);
    const Bytes odd = {0x01};  // padded with a zero byte
    EXPECT_EQ(ntohs(InternetChecksum(odd)), 0xfeff);
}

// IPv4 header (20 bytes, or more with options) + ICMP echo reply.
Bytes Datagram(const char* source, std::uint8_t type, std::uint16_t identifier, std::size_t optionWords = 0) {
    Bytes d(20 + 4 * optionWords, 0);
    d[0] = static_cast<std::uint8_t>(0x40 | (5 + optionWords));
    d[9] = 1;
    in_addr a{};
    inet_pton(AF_INET, source, &a);
    std::memcpy(&d[12], &a.s_addr, 4);
    const auto icmp = BuildEchoRequest(identifier, 1);
    d.insert(d.end(), icmp.begin(), icmp.end());
    d[20 + 4 * optionWords] = type;
    return d;
}

std::uint32_t Net(const char* address) {
    in_addr a{};
    inet_pton(AF_INET, address, &a);
    return a.s_addr;
}

TEST(Icmp, RawDatagramsOnlyOurReplyCounts) {
    const std::uint32_t target = Net("10.213.77.5");
    const std::uint16_t id = 0x4321;
    auto withProtocol = [](Bytes d, std::uint8_t p) { d[9] = p; return d; };
    auto withVersion = [](Bytes d, std::uint8_t v) { d[0] = v; return d; };
    auto cut = [](Bytes d, std::size_t n) { d.resize(n); return d; };
    struct Case { const char* name; Bytes datagram; bool ours; };
    const Case cases[] = {
        {"echo reply from the target", Datagram("10.213.77.5", 0, id), true},
        {"header with options", Datagram("10.213.77.5", 0, id, 3), true},
        {"another identifier", Datagram("10.213.77.5", 0, 0x1111), false},
        {"another host's reply", Datagram("10.213.77.6", 0, id), false},
        {"our own echo request", Datagram("10.213.77.5", 8, id), false},
        {"unreachable from the target", Datagram("10.213.77.5", 3, id), false},
        {"not ICMP", withProtocol(Datagram("10.213.77.5", 0, id), 6), false},
        {"not IPv4", withVersion(Datagram("10.213.77.5", 0, id), 0x65), false},
        {"header length below 20", withVersion(Datagram("10.213.77.5", 0, id), 0x44), false},
        {"header length past the end", withVersion(Datagram("10.213.77.5", 0, id), 0x4F), false},
        {"cut inside the ICMP header", cut(Datagram("10.213.77.5", 0, id), 27), false},
        {"just the ICMP header", cut(Datagram("10.213.77.5", 0, id), 28), true},
        {"cut inside the IP header", cut(Datagram("10.213.77.5", 0, id), 15), false},
        {"empty", Bytes{}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsEchoReplyFromRaw(c.datagram, target, id), c.ours) << c.name;
}

TEST(Icmp, PingSocketMessages) {
    const std::uint32_t target = Net("127.0.0.1");
    const auto reply = [] { auto p = BuildEchoRequest(7, 1); p[0] = 0; return Bytes(p.begin(), p.end()); }();
    EXPECT_TRUE(IsEchoReplyFromPing(reply, target, target));
    EXPECT_FALSE(IsEchoReplyFromPing(reply, Net("127.0.0.2"), target));
    EXPECT_FALSE(IsEchoReplyFromPing(Bytes(reply.begin(), reply.begin() + 7), target, target));
    auto request = reply;
    request[0] = 8;
    EXPECT_FALSE(IsEchoReplyFromPing(request, target, target));
}

TEST(Icmp, RandomDatagramsNeverReadPastTheEnd) {
    std::mt19937 rng(5);
    for (int i = 0; i < 20000; ++i) {
        Bytes d(rng() % 80);
        for (auto& b : d) b = static_cast<std::uint8_t>(rng());
        if (!d.empty() && (i & 1)) d[0] = static_cast<std::uint8_t>(0x40 | (rng() & 0x0F));
        // The vector's buffer is exactly its size: the sanitizer sees any read past the end.
        (void)IsEchoReplyFromRaw(d, 0, 0);
        (void)IsEchoReplyFromPing(d, 0, 0);
    }
}

TEST(NeighbourTable, CompleteEntryWithHardwareAddress) {
    const std::string table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "10.213.77.11     0x1         0x2         2a:4f:10:00:00:0b     *        veth0\n"
        "10.213.77.12     0x1         0x0         00:00:00:00:00:00     *        veth0\n"
        "10.213.77.13     0x1         0x2         00:00:00:00:00:00     *        veth0\n"
        "10.213.77.14     0x1         0x6         2a:4f:10:00:00:0e     *        veth0\n"
        "10.213.77.15     0x1         zz          2a:4f:10:00:00:0f     *        veth0\n"
        "10.213.77.16 0x1\n"
        "garbage\n"
        "10.213.77.17\t0x1\t0x2\t2a:4f:10:00:00:11\t*\tveth0";  // no final newline
    struct Case { const char* address; bool resolved; };
    const Case cases[] = {
        {"10.213.77.11", true},  {"10.213.77.12", false},  // incomplete
        {"10.213.77.13", false},                           // complete but zero hardware address
        {"10.213.77.14", true},  {"10.213.77.15", false},  // flags not readable
        {"10.213.77.16", false}, {"10.213.77.17", true},
        {"10.213.77.1", false},  {"10.213.77.111", false},  // no prefix matches
        {"not an address", false},
    };
    for (const auto& c : cases) EXPECT_EQ(NeighbourResolved(table, c.address), c.resolved) << c.address;
    // The heading is never taken for an entry, even when it looks like one.
    EXPECT_FALSE(NeighbourResolved("10.0.0.1 0x1 0x2 aa:bb:cc:dd:ee:ff * eth0\n", "10.0.0.1"));
    EXPECT_FALSE(NeighbourResolved("", "10.0.0.1"));
    EXPECT_EQ(ReadNeighbourTable("/nonexistent/arp"), "");
}

TEST(ReplyComplete, FollowsTheLengthByteUpToTheLimit) {
    auto frame = [](std::uint8_t length, std::size_t size) {
        Bytes r(size, 0x41);
        r[0] = 0x21;
        if (size > 4) r[4] = length;
        return r;
    };
    struct Case { const char* name; Bytes reply; bool complete; };
    const Case cases[] = {
        {"nothing yet", {}, false},
        {"header only", frame(0, 3), false},
        {"not a reply frame", Bytes{0x15}, true},
        {"short reply, all there", frame(4, 9), true},
        {"short reply, half there", frame(4, 7), false},
        {"text reply, all there", frame(8, 13), true},
        {"text reply, more than announced", frame(8, 20), true},
        {"length byte zero", frame(0, 5), true},
        {"negative length byte", frame(0x90, 6), true},
        {"announces more than the limit", frame(100, 31), false},
        {"limit reached", frame(100, 32), true},
    };
    for (const auto& c : cases) EXPECT_EQ(ReplyComplete(c.reply), c.complete) << c.name;
}

}  // namespace
}  // namespace dravik::discovery
