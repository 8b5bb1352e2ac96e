// Cutting request frames out of a byte stream.
#include "display-sim/frame_reader.h"
#include "sim_client.h"

#include <gtest/gtest.h>

namespace dravik::sim {
namespace {

using protocol::Byte;
using protocol::Bytes;
using testing::Hex;

struct Out {
    bool valid;
    const char* hex;
};

// Feeds the chunks one after the other and collects everything that comes out, then
// gives up on what is left, as a connection that goes quiet does.
std::vector<ReceivedFrame> Feed(const std::vector<Bytes>& chunks) {
    FrameReader reader;
    std::vector<ReceivedFrame> got;
    for (const auto& chunk : chunks) {
        reader.feed(chunk);
        while (auto f = reader.next()) got.push_back(std::move(*f));
    }
    while (auto f = reader.flushPartial()) got.push_back(std::move(*f));
    return got;
}

std::vector<Bytes> OneByteAtATime(const Bytes& bytes) {
    std::vector<Bytes> chunks;
    for (Byte b : bytes) chunks.push_back({b});
    return chunks;
}

TEST(FrameReader, SplitsStreamsIntoGoodAndBadFrames) {
    const std::string query = "A6 01 00 00 00 03 01 33 96";
    const std::string powerOn = "A6 01 00 00 00 04 01 18 02 B8";
    const struct {
        const char* name;
        std::vector<Bytes> chunks;
        std::vector<Out> expected;
    } cases[] = {
        {"query then set on one connection", {Hex(query + " " + powerOn)},
         {{true, "A6 01 00 00 00 03 01 33 96 "}, {true, "A6 01 00 00 00 04 01 18 02 B8 "}}},
        {"one byte at a time", OneByteAtATime(Hex(powerOn)), {{true, "A6 01 00 00 00 04 01 18 02 B8 "}}},
        {"bad checksum, then a good frame", {Hex("A6 01 00 00 00 04 01 18 02 B9 " + query)},
         {{false, "A6 01 00 00 00 04 01 18 02 B9 "}, {true, "A6 01 00 00 00 03 01 33 96 "}}},
        {"noise before a frame", {Hex("00 FF 21"), Hex(query)},
         {{false, "00 FF 21 "}, {true, "A6 01 00 00 00 03 01 33 96 "}}},
        {"length byte below 3 swallows its tail", {Hex("A6 01 00 00 00 02 01 18 " + query)},
         {{false, "A6 01 00 00 00 02 01 18 "}, {true, "A6 01 00 00 00 03 01 33 96 "}}},
        {"length byte one short: one bad frame, not two", {Hex("A6 01 00 00 00 03 01 18 02 B8")},
         {{false, "A6 01 00 00 00 03 01 18 02 B8 "}}},
        {"frame cut short", {Hex("A6 01 00 00 00 07 01 AC 09")}, {{false, "A6 01 00 00 00 07 01 AC 09 "}}},
        {"header alone", {Hex("A6")}, {{false, "A6 "}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto got = Feed(c.chunks);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].valid, c.expected[i].valid) << i;
            EXPECT_EQ(got[i].valid, got[i].problem.empty()) << i;
            EXPECT_EQ(protocol::HexSpaced(got[i].bytes), c.expected[i].hex) << i;
        }
    }
}

TEST(FrameReader, LongestFrameIsReassembledWhateverTheChunking) {
    Bytes data(252, 0x5A);
    const Bytes frame = testing::Request(0x36, data);
    ASSERT_EQ(frame.size(), FrameReader::kMaxFrame);
    const auto got = Feed(OneByteAtATime(frame));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(got[0].valid);
    EXPECT_EQ(got[0].bytes, frame);
}

}  // namespace
}  // namespace dravik::sim
