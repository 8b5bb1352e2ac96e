// Reply and Request: every field read by name, and what a short, long, corrupt or foreign
// frame reads as. A byte that did not arrive is nullopt, never a read past the end.
#include "hex.h"
#include "protocol/reply.h"

#include <gtest/gtest.h>

namespace dravik::protocol {
namespace {

using test::Parse;
using F = Reply::Fault;
enum class Kind { None, Ack, Nack, Nav, Data };
constexpr int kMissing = -999;

int Or(std::optional<int> v) { return v ? *v : kMissing; }
int Or(std::optional<Byte> v) { return v ? int{*v} : kMissing; }
int Or(std::optional<std::size_t> v) { return v ? static_cast<int>(*v) : kMissing; }

Kind KindOf(const Reply& r) {
    const int kinds = r.isAck() + r.isNack() + r.isNav() + r.isData();
    EXPECT_LE(kinds, 1);
    if (r.isAck()) return Kind::Ack;
    if (r.isNack()) return Kind::Nack;
    if (r.isNav()) return Kind::Nav;
    if (r.isData()) return Kind::Data;
    return Kind::None;
}

TEST(Reply, Fields) {
    struct Case {
        const char* name;
        const char* hex;
        F fault;
        Kind kind;
        int expectedSize;
        int signedLength;
        int command;
        const char* data;
    };
    const Case cases[] = {
        {"nothing", "", F::Empty, Kind::None, kMissing, kMissing, kMissing, ""},
        {"foreign header", "12 01 00 00 04 01 18 01 3C", F::WrongHeader, Kind::None, 9, 4, 0x18, "01"},
        {"header alone", "21", F::Short, Kind::None, kMissing, kMissing, kMissing, ""},
        {"no length byte", "21 01 00 00", F::Short, Kind::None, kMissing, kMissing, kMissing, ""},
        {"length below 3", "21 01 00 00 02 01 18", F::Short, Kind::None, 7, 2, 0x18, ""},
        {"checksum missing", "21 01 00 00 04 01 18 01", F::Short, Kind::None, 9, 4, 0x18, ""},
        {"bad checksum", "21 01 00 00 04 01 18 01 3D", F::BadChecksum, Kind::None, 9, 4, 0x18, "01"},
        {"executed", "21 01 00 00 04 01 18 01 3C", F::None, Kind::Ack, 9, 4, 0x18, "01"},
        {"NACK", "21 01 00 00 04 01 18 03 3E", F::None, Kind::Nack, 9, 4, 0x18, "03"},
        {"NAV", "21 01 00 00 04 01 18 04 39", F::None, Kind::Nav, 9, 4, 0x18, "04"},
        {"length 3, no status", "21 01 00 00 03 01 18 3A", F::None, Kind::None, 8, 3, 0x18, ""},
        {"data", "21 01 00 00 05 01 2F F6 00 FD", F::None, Kind::Data, 10, 5, 0x2F, "F6 00"},
        // Bytes past the announced frame are not part of it; data() still runs to the last one.
        {"longer than announced", "21 01 00 00 05 01 2F F6 00 FD 00 00", F::None, Kind::Data, 10, 5, 0x2F,
         "F6 00 FD 00"},
        // Byte 4 of 0x80 announces 128 more bytes; read signed it is -128.
        {"length 0x80", "21 01 00 00 80 01 2F 01 02", F::Short, Kind::None, 133, -128, 0x2F, "01"},
    };
    for (const auto& c : cases) {
        const Reply r(Parse(c.hex));
        EXPECT_EQ(r.fault(), c.fault) << c.name;
        EXPECT_EQ(r.valid(), c.fault == F::None) << c.name;
        EXPECT_EQ(KindOf(r), c.kind) << c.name;
        EXPECT_EQ(Or(r.expectedSize()), c.expectedSize) << c.name;
        EXPECT_EQ(Or(r.signedLength()), c.signedLength) << c.name;
        EXPECT_EQ(Or(r.command()), c.command) << c.name;
        EXPECT_EQ(r.data(), Parse(c.data)) << c.name;
    }
}

TEST(Reply, BuildsWhatItReads) {
    const Byte gains[] = {0x10, 0x20, 0x30};
    EXPECT_EQ(Reply::Build(7, 0x37, gains), Parse("21 07 00 00 06 01 37 10 20 30 16"));
    EXPECT_EQ(Reply::BuildAcknowledge(1, 0x18, kStatusNack), Parse("21 01 00 00 04 01 18 03 3E"));
    const Reply r(Reply::Build(9, 0xA2, {}));
    EXPECT_TRUE(r.valid());
    EXPECT_EQ(r.monitorId(), Byte{9});
    EXPECT_EQ(r.length(), Byte{3});
}

TEST(Request, Fields) {
    const Request power(Parse("A6 01 00 00 00 04 01 18 02 B8"));
    EXPECT_EQ(power.monitorId(), Byte{1});
    EXPECT_EQ(power.command(), Byte{0x18});
    EXPECT_EQ(power.data(), Parse("02"));
    EXPECT_EQ(power.expectedSize(), std::size_t{10});
    EXPECT_TRUE(power.sealedOver(10));
    EXPECT_FALSE(power.sealedOver(11));  // more than arrived
    const Request cut(Parse("A6 01 00 00 00"));
    EXPECT_EQ(cut.length(), std::nullopt);
    EXPECT_EQ(cut.expectedSize(), std::nullopt);
    EXPECT_TRUE(cut.data().empty());
}

}  // namespace
}  // namespace dravik::protocol
