// Random and mutated replies against every decoder that reads bytes from a display.
// Checks that nothing crashes or reads past the received bytes (ASan builds catch the
// latter), and that fields whose bytes did not arrive keep their values.
#include "protocol/decode.h"
#include "protocol/identity.h"
#include "protocol/models.h"
#include "protocol/wall.h"

#include <gtest/gtest.h>

#include <cctype>
#include <random>

namespace dravik::protocol {
namespace {

constexpr std::string_view kModels[] = {"LM-55", "JSV-4301Q", "KC-46D", "KA-55", "KB-3202", "", "lm-55"};
constexpr Byte kCommands[] = {0x0F, 0x2F, 0x31, 0x33, 0x37, 0x44, 0x18, 0xA1, 0xA2};
constexpr Byte kLengths[] = {0x00, 0x03, 0x04, 0x05, 0x0A, 0x7F, 0x80, 0xFF};

class Generator {
public:
    explicit Generator(std::uint32_t seed) : rng_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    Byte AnyByte() { return static_cast<Byte>(Below(256)); }
    template <typename T, std::size_t N>
    T Pick(const T (&items)[N]) { return items[Below(static_cast<int>(N))]; }

    // Random bytes, often with a plausible header so the deeper paths are reached.
    Bytes Random() {
        Bytes b(static_cast<std::size_t>(Below(201)));
        for (Byte& x : b) x = AnyByte();
        if (Below(4) != 0) {
            if (b.size() > 0) b[0] = 0x21;
            if (b.size() > 4) b[4] = Pick(kLengths);
            if (b.size() > 6) b[6] = Pick(kCommands);
        }
        return b;
    }

    // A well-formed reply of one of the known layouts, then cut, flipped or extended.
    Bytes Mutated() {
        const Byte command = Pick(kCommands);
        Bytes b{0x21, 0x01, 0x00, 0x00, 0x0A, 0x01, command};
        const int data = command == 0xA1 || command == 0xA2 ? Below(40) : 7;
        for (int i = 0; i < data; ++i) b.push_back(command >= 0xA1 ? static_cast<Byte>(0x20 + Below(0x60)) : AnyByte());
        b.push_back(0x00);
        switch (Below(4)) {
            case 0: b.resize(static_cast<std::size_t>(Below(static_cast<int>(b.size()) + 1))); break;
            case 1:
                for (int i = Below(4); i >= 0; --i) b[static_cast<std::size_t>(Below(static_cast<int>(b.size())))] = AnyByte();
                break;
            case 2:
                for (int i = Below(200 - static_cast<int>(b.size())); i > 0; --i) b.push_back(AnyByte());
                break;
            default: b[4] = Pick(kLengths); break;
        }
        return b;
    }

private:
    std::mt19937 rng_;
};

bool NoTrailingSpace(const std::string& s) { return s.empty() || !std::isspace(static_cast<unsigned char>(s.back())); }

void CheckDecodeReply(const Bytes& reply, std::string_view model) {
    DisplayValues before;
    before.backlight = 101;
    before.brightness = 102;
    before.volume = 103;
    before.keyLock = true;
    before.video = {111, 112, 113, 114, 115, 116};
    before.temperature = 104;
    before.hours = 105;
    DisplayValues v = before;
    const DecodeResult r = DecodeReply(reply, model, v);
    const std::size_t n = reply.size();

    ASSERT_TRUE(r.messageLine.empty() || r.messageLine == "executed" || r.messageLine == "NACK" ||
                r.messageLine == "NAV");
    if (!r.messageLine.empty()) {
        ASSERT_FALSE(r.result);
    }
    if (r.refresh) {
        ASSERT_TRUE(r.result);
    }
    if (r.result) {
        ASSERT_EQ(reply[0], 0x21);
    }
    if (!r.refresh) {
        DisplayValues untouched = v;
        ASSERT_EQ(untouched, before) << "values changed without a refresh";
    }

    ASSERT_EQ(v.brightness, before.brightness);
    ASSERT_EQ(v.volume, before.volume);
    ASSERT_EQ(v.keyLock, before.keyLock);
    ASSERT_EQ(v.irLock, before.irLock);
    if (n < 8) {
        ASSERT_EQ(v, before) << "a value changed though byte 7 never arrived";
    }
    if (n < 9) {
        ASSERT_EQ(v.hours, before.hours);
    }
    const bool fixedFour = Contains(layouts::kFixedFour, model);
    const bool six = Contains(layouts::kSix, model) || Contains(layouts::kSixClamped, model);
    for (std::size_t i = 0; i < 6; ++i) {
        const bool arrived = fixedFour && i == 2 ? n > 8 : n > 8 + i;
        if (!arrived) {
            ASSERT_EQ(v.video[i], before.video[i]) << "parameter " << i + 2 << " from a byte not received";
        }
    }
    if (!six) {
        ASSERT_EQ(v.video[4], before.video[4]);
        ASSERT_EQ(v.video[5], before.video[5]);
    }
}

void CheckGain(const Bytes& reply) {
    int r = -1, g = -2, b = -3;
    if (DecodeGainReply(reply, r, g, b)) {
        ASSERT_GE(reply.size(), 10u);
        ASSERT_EQ(r, reply[7]);
        ASSERT_EQ(g, reply[8]);
        ASSERT_EQ(b, reply[9]);
    } else {
        ASSERT_EQ(r, -1);
        ASSERT_EQ(g, -2);
        ASSERT_EQ(b, -3);
    }
}

void CheckIdentity(const Bytes& reply, const Bytes& second) {
    for (int limit : {4, 5}) {
        const std::string text = IdentityText(reply, limit);
        ASSERT_LE(text.size(), reply.size() > 8 ? reply.size() - 8 : 0u);
        ASSERT_EQ(text.find('\0'), std::string::npos);
        if (!IsTextReply(reply, limit)) {
            ASSERT_TRUE(text.empty());
        }
    }
    std::string model;
    const ProbeStep step = ClassifyFirstReply(reply, model);
    ASSERT_EQ(step == ProbeStep::NoReport, reply.empty() || reply[0] != 0x21);
    if (step == ProbeStep::Report) {
        ASSERT_TRUE(NoTrailingSpace(model));
    }
    if (step == ProbeStep::NeedsSecond) {
        ASSERT_TRUE(IsIdentityTag(model));
        ASSERT_TRUE(NoTrailingSpace(FinishModelText(model, second)));
    }
    const std::string raw(reply.begin(), reply.end());
    ASSERT_TRUE(NoTrailingSpace(TrimTrailingSpace(raw)));
    ASSERT_LE(StripMakerName(raw).size(), raw.size());
}

TEST(ProtocolFuzz, DecodersHoldTheirInvariants) {
    Generator gen(20240611u);
    constexpr int kRounds = 60000;  // two replies per round: 120,000 in all
    for (int i = 0; i < kRounds; ++i) {
        const Bytes random = gen.Random();
        const Bytes mutated = gen.Mutated();
        for (const Bytes* reply : {&random, &mutated}) {
            const std::string_view model = gen.Pick(kModels);
            ASSERT_NO_FATAL_FAILURE(CheckDecodeReply(*reply, model)) << "round " << i;
            ASSERT_NO_FATAL_FAILURE(CheckGain(*reply)) << "round " << i;
            ASSERT_NO_FATAL_FAILURE(CheckIdentity(*reply, reply == &random ? mutated : random)) << "round " << i;
        }
    }
}

}  // namespace
}  // namespace dravik::protocol
