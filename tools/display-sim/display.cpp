#include "display-sim/display.h"

#include <algorithm>
#include <iterator>

namespace dravik::sim {

namespace {

constexpr Byte kWrongHeader = 0x12;
// Total reply sizes for Fault::LongReply: just past what the tool reads in one go. The
// serial one keeps byte 4 at 0x7F so that it still reads as a positive length.
constexpr std::size_t kLanLongReply = 40;
constexpr std::size_t kSerialLongReply = 132;
// Longest identity text we put into one reply (byte 4 must stay within one byte).
constexpr std::size_t kMaxIdentityText = 120;

constexpr const char* kMakerPrefix = "ORVANTE ";
constexpr int kDefaultLateMs = 4000;

bool StartsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// "KA-" then anything, ending in "Q": the KA-xxQ family.
bool IsKaQ(std::string_view model) {
    return StartsWith(model, "KA-") && model.size() > 3 && model.back() == 'Q';
}

void Reseal(Bytes& frame) {
    frame[4] = static_cast<Byte>(frame.size() - 5);
    frame.back() = protocol::Checksum(std::span<const Byte>(frame.data(), frame.size() - 1));
}

}  // namespace

IdentityStyle DefaultIdentityStyle(std::string_view model) {
    if (StartsWith(model, "LM-") || StartsWith(model, "JSV-") || IsKaQ(model)) return IdentityStyle::A1;
    return IdentityStyle::A2;
}

std::string FamilyTag(std::string_view model) {
    if (StartsWith(model, "LM-")) return "LM";
    if (StartsWith(model, "JSV-")) return "JSV-Q";
    if (IsKaQ(model)) return "KA-xxQ";
    return "ORV";
}

namespace {
struct FaultNameRow {
    Fault fault;
    const char* name;
};
constexpr FaultNameRow kFaultNames[] = {
    {Fault::None, "none"},
    {Fault::NeverAnswer, "never"},
    {Fault::AnswerLate, "late"},
    {Fault::WrongHeader, "wrong-header"},
    {Fault::ShortReply, "short"},
    {Fault::Nack, "nack"},
    {Fault::Nav, "nav"},
    {Fault::LongReply, "long"},
    {Fault::CloseAtOnce, "close"},
};
}  // namespace

const char* FaultName(Fault fault) {
    for (const auto& row : kFaultNames)
        if (row.fault == fault) return row.name;
    return "?";
}

std::optional<Fault> FaultFromName(std::string_view name) {
    for (const auto& row : kFaultNames)
        if (name == row.name) return row.fault;
    return std::nullopt;
}

Bytes ShortReplyFrame(Byte monitorId, Byte command, Byte status) {
    Bytes r{protocol::kReplyHeader, monitorId, 0x00, 0x00, 0x04, protocol::kControl, command, status, 0x00};
    Reseal(r);
    return r;
}

Bytes DataReplyFrame(Byte monitorId, Byte command, std::span<const Byte> data) {
    // Sized up front: growing a 7-byte vector by insert() trips a false -Warray-bounds at -O3.
    Bytes r(7 + data.size() + 1, 0x00);
    const Byte head[] = {protocol::kReplyHeader, monitorId, 0x00, 0x00, 0x00, protocol::kControl, command};
    std::copy(std::begin(head), std::end(head), r.begin());
    std::copy(data.begin(), data.end(), r.begin() + 7);
    Reseal(r);
    return r;
}

std::vector<FaultOdds> DefaultFaultOdds() {
    return {{Fault::None, 70, 0},        {Fault::NeverAnswer, 5, 0}, {Fault::AnswerLate, 5, kDefaultLateMs},
            {Fault::WrongHeader, 4, 0},  {Fault::ShortReply, 4, 0},  {Fault::Nack, 4, 0},
            {Fault::Nav, 4, 0},          {Fault::LongReply, 2, 0},   {Fault::CloseAtOnce, 2, 0}};
}

const FaultOdds& PickFault(const std::vector<FaultOdds>& odds, std::uint64_t value) {
    std::uint64_t total = 0;
    for (const auto& o : odds) total += static_cast<std::uint64_t>(std::max(0, o.weight));
    std::uint64_t r = total ? value % total : 0;
    for (const auto& o : odds) {
        const auto w = static_cast<std::uint64_t>(std::max(0, o.weight));
        if (r < w) return o;
        r -= w;
    }
    static const FaultOdds kWell;
    return kWell;
}

Display::Display(DisplayConfig config) : config_(std::move(config)) { seedGenerator(); }

// SplitMix64 over the seed and an FNV-1a hash of the stream name: the same on every
// platform and standard library, unlike the distributions of <random>.
void Display::seedGenerator() {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : config_.random.stream) h = (h ^ c) * 0x100000001b3ull;
    rng_ = config_.random.seed ^ h;
}

std::uint64_t Display::nextRandom() {
    std::uint64_t z = (rng_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

DisplayConfig Display::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void Display::setConfig(const DisplayConfig& config) {
    std::lock_guard lock(mutex_);
    config_ = config;
    seedGenerator();
}

DisplayState Display::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void Display::setState(const DisplayState& state) {
    std::lock_guard lock(mutex_);
    state_ = state;
}

void Display::setFault(Fault fault, int lateMs) {
    std::lock_guard lock(mutex_);
    config_.fault = fault;
    config_.lateMs = lateMs;
    config_.random.enabled = false;
}

void Display::setTemperature(int celsius) {
    std::lock_guard lock(mutex_);
    state_.temperature = static_cast<std::int8_t>(static_cast<Byte>(celsius & 0xFF));
}

void Display::setHours(int hours) {
    std::lock_guard lock(mutex_);
    state_.hours = static_cast<std::uint16_t>(hours & 0xFFFF);
}

Byte Display::monitorId() const {
    std::lock_guard lock(mutex_);
    return static_cast<Byte>(config_.monitorId & 0xFF);
}

std::string Display::identityText(Byte command) const {
    std::lock_guard lock(mutex_);
    return identityTextLocked(command);
}

std::string Display::identityTextLocked(Byte command) const {
    IdentityStyle style = config_.identity;
    if (style == IdentityStyle::Auto) style = DefaultIdentityStyle(config_.model);
    std::string text;
    if (command == 0xA2 && style == IdentityStyle::A1) {
        text = config_.familyTag.empty() ? FamilyTag(config_.model) : config_.familyTag;
    } else {
        text = (config_.makerPrefix ? kMakerPrefix : "") + config_.model;
    }
    if (text.size() > kMaxIdentityText) text.resize(kMaxIdentityText);
    return text;
}

// Carries out one command on the state and builds the plain answer. Set commands with too
// few data bytes are refused (NACK) and leave the state alone; unknown commands get NAV.
Bytes Display::execute(Byte command, std::span<const Byte> data) {
    const Byte id = static_cast<Byte>(config_.monitorId & 0xFF);
    const auto ack = [&](Byte status) { return ShortReplyFrame(id, command, status); };
    // A single value is followed by a zero byte, so that byte 4 (5) tells it from an acknowledge.
    const auto value = [&](Byte v) {
        const Byte d[] = {v, 0x00};
        return DataReplyFrame(id, command, d);
    };
    const auto needs = [&](std::size_t n) { return data.size() >= n; };

    switch (command) {
        case 0x18:  // power: 02 on, 01 off
            if (!needs(1) || (data[0] != 0x01 && data[0] != 0x02)) return ack(kStatusNack);
            state_.powerOn = data[0] == 0x02;
            return ack(kStatusExecuted);
        case 0xA8:  // the alternative power off
            state_.powerOn = false;
            return ack(kStatusExecuted);
        case 0xAC:  // input source: code, sub-code, 00, 00
            if (!needs(2)) return ack(kStatusNack);
            state_.inputSource = data[0];
            state_.inputSubCode = data[1];
            return ack(kStatusExecuted);
        case 0x30:
            if (!needs(1)) return ack(kStatusNack);
            state_.backlight = data[0];
            return ack(kStatusExecuted);
        case 0x31:
            return value(state_.backlight);
        case 0x32:  // video parameters: brightness first, then 4 or 6 more
            if (!needs(1)) return ack(kStatusNack);
            std::copy_n(data.begin(), std::min(data.size(), state_.video.size()), state_.video.begin());
            return ack(kStatusExecuted);
        case 0x33:
            return DataReplyFrame(id, command, state_.video);
        case 0x68:
        case 0xC0:  // brightness alone
            if (!needs(1)) return ack(kStatusNack);
            state_.video[0] = data[0];
            return ack(kStatusExecuted);
        case 0x44:  // volume, one byte or the same byte twice
            if (!needs(1)) return ack(kStatusNack);
            state_.volume = data[0];
            return ack(kStatusExecuted);
        case 0x1A:
            if (!needs(1)) return ack(kStatusNack);
            state_.keyLock = data[0];
            return ack(kStatusExecuted);
        case 0x1C:
            if (!needs(1)) return ack(kStatusNack);
            state_.irLock = data[0];
            return ack(kStatusExecuted);
        case 0xFD:
            if (!needs(1)) return ack(kStatusNack);
            state_.lastIrKey = data[0];
            ++state_.irKeyCount;
            return ack(kStatusExecuted);
        case 0xFE: {  // reset: levels back to factory values; readings and counters stay
            DisplayState fresh;
            fresh.powerOn = state_.powerOn;
            fresh.temperature = state_.temperature;
            fresh.hours = state_.hours;
            fresh.lastIrKey = state_.lastIrKey;
            fresh.irKeyCount = state_.irKeyCount;
            fresh.resetCount = state_.resetCount + 1;
            state_ = fresh;
            return ack(kStatusExecuted);
        }
        case 0x22:  // wall settings E F P M
            if (!needs(4)) return ack(kStatusNack);
            std::copy_n(data.begin(), 4, state_.wall.begin());
            return ack(kStatusExecuted);
        case 0x36:  // gains R G B (the long form's three trailing bytes are not kept)
            if (!needs(3)) return ack(kStatusNack);
            std::copy_n(data.begin(), 3, state_.gains.begin());
            return ack(kStatusExecuted);
        case 0x37:
            return DataReplyFrame(id, command, state_.gains);
        case 0x2F:
            return value(static_cast<Byte>(state_.temperature));
        case 0x0F: {
            const Byte d[] = {static_cast<Byte>(state_.hours >> 8), static_cast<Byte>(state_.hours & 0xFF)};
            return DataReplyFrame(id, command, d);
        }
        case 0xA1:
        case 0xA2: {
            const std::string text = identityTextLocked(command);
            const Bytes d(text.begin(), text.end());
            return DataReplyFrame(id, command, d);
        }
        default:
            return ack(kStatusNav);
    }
}

Reply Display::respond(std::span<const Byte> frame, Link link) {
    std::lock_guard lock(mutex_);
    Reply reply;
    if (frame.size() < 9) {  // callers hand checked frames; stay safe anyway
        reply.note = "frame too short";
        return reply;
    }
    const Byte id = static_cast<Byte>(config_.monitorId & 0xFF);
    const Byte command = frame[7];
    const auto data = frame.subspan(8, frame.size() - 9);

    Fault fault = config_.fault;
    int lateMs = config_.lateMs;
    if (config_.random.enabled) {
        const auto& odds = config_.random.odds.empty() ? DefaultFaultOdds() : config_.random.odds;
        const FaultOdds& drawn = PickFault(odds, nextRandom());
        fault = drawn.fault;
        lateMs = drawn.lateMs;
    }
    reply.fault = fault;

    switch (fault) {
        case Fault::Nack:
            reply.bytes = ShortReplyFrame(id, command, kStatusNack);
            reply.note = "fault: nack";
            return reply;
        case Fault::Nav:
            reply.bytes = ShortReplyFrame(id, command, kStatusNav);
            reply.note = "fault: nav";
            return reply;
        default:
            break;
    }

    Bytes out = execute(command, data);

    switch (fault) {
        case Fault::NeverAnswer:
        case Fault::CloseAtOnce:
            reply.note = std::string("fault: ") + FaultName(fault);
            // A fixed "close" refuses at accept time; a drawn one closes on this frame.
            reply.closeConnection = fault == Fault::CloseAtOnce;
            return reply;
        case Fault::AnswerLate:
            reply.delay = std::chrono::milliseconds(std::max(0, lateMs));
            reply.note = "fault: late";
            break;
        case Fault::WrongHeader:
            out[0] = kWrongHeader;
            out.back() = protocol::Checksum(std::span<const Byte>(out.data(), out.size() - 1));
            reply.note = "fault: wrong-header";
            break;
        case Fault::ShortReply:
            if (out[4] > 4) {  // keep the first data byte where a status would be
                out = ShortReplyFrame(id, command, out[7]);
                reply.note = "fault: short";
            }
            break;
        case Fault::LongReply: {
            const std::size_t target = link == Link::Lan ? kLanLongReply : kSerialLongReply;
            if (out.size() < target) {
                out.insert(out.end() - 1, target - out.size(), Byte{0x00});
                Reseal(out);
            }
            reply.note = "fault: long";
            break;
        }
        default:
            break;
    }
    reply.bytes = std::move(out);
    return reply;
}

}  // namespace dravik::sim
