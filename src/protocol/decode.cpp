#include "protocol/decode.h"

#include "protocol/catalogue.h"
#include "protocol/models.h"
#include "protocol/reply.h"

#include <optional>

namespace dravik::protocol {

namespace {

// Stores the signed byte at `index` into `field` if it arrived.
bool StoreSigned(const Reply& r, std::size_t index, int& field) {
    const auto v = r.signedAt(index);
    if (!v) return false;
    field = *v;
    return true;
}

enum class Layout { FourParams, SixClamped, Six, FixedFour };

Layout LayoutFor(std::string_view model) {
    if (Contains(layouts::kSixClamped, model)) return Layout::SixClamped;
    if (Contains(layouts::kSix, model)) return Layout::Six;
    if (Contains(layouts::kFixedFour, model)) return Layout::FixedFour;
    return Layout::FourParams;
}

// Video parameters 2..7 are reply bytes 8..13 (video[0..5]); byte 7, the brightness, is
// not kept. Returns true when anything was stored.
bool DecodeVideoParams(const Reply& r, std::string_view model, DisplayValues& values) {
    auto& p = values.video;  // p[0] is parameter 2
    bool stored = false;
    switch (LayoutFor(model)) {
        case Layout::SixClamped:
            for (std::size_t i = 0; i < 6; ++i) stored |= StoreSigned(r, 8 + i, p[i]);
            // Clamps compare signed values, so bytes of 0x80 and above pass unchanged.
            if (r.at(10) && p[2] > 20) p[2] = 10;
            if (r.at(11) && p[3] > 50) p[3] = 50;
            if (r.at(13) && p[5] > 5) p[5] = 1;
            break;
        case Layout::Six:
            for (std::size_t i = 0; i < 6; ++i) stored |= StoreSigned(r, 8 + i, p[i]);
            break;
        case Layout::FixedFour:
            stored |= StoreSigned(r, 8, p[0]);
            stored |= StoreSigned(r, 9, p[1]);
            stored |= StoreSigned(r, 11, p[3]);
            // Parameter 4 is not read from this model; it always goes back as 72.
            if (stored) p[2] = 72;
            break;
        case Layout::FourParams:
            for (std::size_t i = 0; i < 4; ++i) stored |= StoreSigned(r, 8 + i, p[i]);
            break;
    }
    return stored;
}

DecodeResult Stored(bool stored) { return stored ? DecodeResult{true, true, {}} : DecodeResult{}; }

DecodeResult DecodeData(const Reply& r, Byte command, std::string_view model, DisplayValues& values) {
    switch (command) {
        case kCmdHours: {
            const auto hi = r.at(7), lo = r.at(8);
            if (!hi || !lo) return {};
            values.hours = *hi * 256 + *lo;
            return Stored(true);
        }
        case kCmdTemperature: return Stored(StoreSigned(r, 7, values.temperature));
        case kCmdBacklightQuery: return Stored(StoreSigned(r, 7, values.backlight));
        case kCmdVideoParamsQuery: return Stored(DecodeVideoParams(r, model, values));
        default: return {};
    }
}

DecodeResult DecodeShort(const Reply& r, Byte command, DisplayValues& values) {
    switch (command) {
        case kCmdTemperature: return Stored(StoreSigned(r, 7, values.temperature));
        case kCmdBacklightQuery: return Stored(StoreSigned(r, 7, values.backlight));
        default: break;
    }
    const auto status = r.status();
    if (!status) return {};
    switch (*status) {
        case kStatusExecuted: return {false, false, "executed"};
        case kStatusNack: return {false, false, "NACK"};
        case kStatusNav: return {false, false, "NAV"};
        default: return {true, false, {}};
    }
}

}  // namespace

DecodeResult DecodeReply(std::span<const Byte> reply, std::string_view model, DisplayValues& values) {
    const Reply r(reply);
    const auto length = r.signedLength();
    const auto command = r.command();
    if (!r.hasReplyHeader() || !length || !command) return {};
    if (*length > 4) return DecodeData(r, *command, model, values);
    if (*length == 4) return DecodeShort(r, *command, values);
    return {};
}

}  // namespace dravik::protocol
