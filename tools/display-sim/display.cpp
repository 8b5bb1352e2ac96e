#include "display-sim/display.h"

#include "protocol/catalogue.h"
#include "protocol/identity.h"
#include "protocol/reply.h"
#include "protocol/wall.h"

#include <algorithm>

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
    return protocol::Reply::BuildAcknowledge(monitorId, command, status);
}

Bytes DataReplyFrame(Byte monitorId, Byte command, std::span<const Byte> data) {
    return protocol::Reply::Build(monitorId, command, data);
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
    if (command == protocol::kCmdIdentityA2 && style == IdentityStyle::A1) {
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
        case protocol::kCmdPower:  // 02 on, 01 off
            if (!needs(1) || (data[0] != 0x01 && data[0] != 0x02)) return ack(kStatusNack);
            state_.powerOn = data[0] == 0x02;
            return ack(kStatusExecuted);
        case protocol::kCmdPowerAlt:  // the alternative power off
            state_.powerOn = false;
            return ack(kStatusExecuted);
        case protocol::kCmdInputSource:  // code, sub-code, 00, 00
            if (!needs(2)) return ack(kStatusNack);
            state_.inputSource = data[0];
            state_.inputSubCode = data[1];
            return ack(kStatusExecuted);
        case protocol::kCmdBacklight:
            if (!needs(1)) return ack(kStatusNack);
            state_.backlight = data[0];
            return ack(kStatusExecuted);
        case protocol::kCmdBacklightQuery:
            return value(state_.backlight);
        case protocol::kCmdVideoParamsSet:  // brightness first, then 4 or 6 more
            if (!needs(1)) return ack(kStatusNack);
            std::copy_n(data.begin(), std::min(data.size(), state_.video.size()), state_.video.begin());
            return ack(kStatusExecuted);
        case protocol::kCmdVideoParamsQuery:
            return DataReplyFrame(id, command, state_.video);
        case protocol::kCmdBrightness68:
        case protocol::kCmdBrightnessC0:  // brightness alone
            if (!needs(1)) return ack(kStatusNack);
            state_.video[0] = data[0];
            return ack(kStatusExecuted);
        case protocol::kCmdVolume:  // one byte or the same byte twice
            if (!needs(1)) return ack(kStatusNack);
            state_.volume = data[0];
            return ack(kStatusExecuted);
        case protocol::kCmdKeyLock:
            if (!needs(1)) return ack(kStatusNack);
            state_.keyLock = data[0];
            return ack(kStatusExecuted);
        case protocol::kCmdLock:
            if (!needs(1)) return ack(kStatusNack);
            state_.irLock = data[0];
            return ack(kStatusExecuted);
        case protocol::kCmdIrKey:
            if (!needs(1)) return ack(kStatusNack);
            state_.lastIrKey = data[0];
            ++state_.irKeyCount;
            return ack(kStatusExecuted);
        case protocol::kCmdReset: {  // levels back to factory values; readings and counters stay
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
        case protocol::kCmdWall:  // E F P M
            if (!needs(4)) return ack(kStatusNack);
            std::copy_n(data.begin(), 4, state_.wall.begin());
            return ack(kStatusExecuted);
        case protocol::kCmdGainSet:  // R G B (the long form's three trailing bytes are not kept)
            if (!needs(3)) return ack(kStatusNack);
            std::copy_n(data.begin(), 3, state_.gains.begin());
            return ack(kStatusExecuted);
        case protocol::kCmdGainQuery:
            return DataReplyFrame(id, command, state_.gains);
        case protocol::kCmdTemperature:
            return value(static_cast<Byte>(state_.temperature));
        case protocol::kCmdHours: {
            const Byte d[] = {static_cast<Byte>(state_.hours >> 8), static_cast<Byte>(state_.hours & 0xFF)};
            return DataReplyFrame(id, command, d);
        }
        case protocol::kCmdIdentityA1:
        case protocol::kCmdIdentityA2: {
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
    const protocol::Request request(frame);
    if (request.size() < 9) {  // callers hand checked frames; stay safe anyway
        reply.note = "frame too short";
        return reply;
    }
    const Byte id = static_cast<Byte>(config_.monitorId & 0xFF);
    const Byte command = *request.command();
    const auto data = request.data();

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
            out.front() = kWrongHeader;
            out.back() = protocol::Checksum(std::span<const Byte>(out.data(), out.size() - 1));
            reply.note = "fault: wrong-header";
            break;
        case Fault::ShortReply: {
            const protocol::Reply answer(out);
            if (answer.length() > Byte{4}) {  // keep the first data byte where a status would be
                out = ShortReplyFrame(id, command, *answer.status());
                reply.note = "fault: short";
            }
            break;
        }
        case Fault::LongReply: {
            const std::size_t target = link == Link::Lan ? kLanLongReply : kSerialLongReply;
            if (out.size() < target) {
                Bytes padded = protocol::Reply(out).data();
                padded.resize(padded.size() + target - out.size(), Byte{0x00});
                out = DataReplyFrame(id, command, padded);
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
