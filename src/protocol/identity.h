// Identity queries (A2 01 / A1 00) and the text the displays answer them with.
#pragma once

#include "protocol/frame.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dravik::protocol {

enum class IdentityForm { A2, A1 };

inline constexpr Byte kCmdIdentityA1 = 0xA1;
inline constexpr Byte kCmdIdentityA2 = 0xA2;

// A6 ID 00 00 00 04 01 A2 01 CS  or  A6 ID 00 00 00 04 01 A1 00 CS.
Frame BuildIdentityQuery(IdentityForm form, Byte monitorId);

// True for a text reply: byte 0 is 0x21, byte 4 (signed) is above `limit` and byte 6 is
// 0xA1 or 0xA2. Bytes that did not arrive fail the test.
bool IsTextReply(std::span<const Byte> reply, int limit = 4);

// Text of an identity reply: bytes 7 .. count-2 as characters (zero bytes add nothing),
// only when byte 0 is 0x21, byte 4 (signed) is above `limit` and byte 6 is 0xA1 or 0xA2;
// otherwise "". Never reads past `reply.size()`.
std::string IdentityText(std::span<const Byte> reply, int limit = 4);

// Which model table decides the identity query: every model the tool drives, or the models
// a video wall is built from (a smaller set, in which KC-55D3 and KC-55H3 take A1 00).
enum class IdentityModels { All, Wall };
// The identity query a model gets under that table; nullopt: the table does not hold it.
std::optional<IdentityForm> IdentityFormFor(IdentityModels models, std::string_view model);

// True for the first-reply tags that call for the second query:
// "LM", "JSV-Q", "KA-xxQ", "ORV", "ORV_92Q".
bool IsIdentityTag(std::string_view text);

// Trailing white space removed.
std::string TrimTrailingSpace(std::string_view text);

// A leading "ORVANTE " (maker name and one blank) removed, if present.
std::string StripMakerName(std::string_view text);

// Model text a scan probe reports for one monitor ID, from the first reply and (when the
// first carries a tag) the second one. nullopt: no report for this ID (nothing received,
// or byte 0 not 0x21). A short first reply (byte 4 <= 4, or too few bytes to carry byte 4)
// gives "unknow".
// `second` is called only when the first text is a tag; it returns the second reply bytes.
template <typename SecondQuery>
std::optional<std::string> ProbeModelText(std::span<const Byte> first, SecondQuery&& second);

// Non-template core of ProbeModelText, for callers that already have both replies.
// `second` may be empty when no second query was made.
enum class ProbeStep { NoReport, Report, NeedsSecond };
ProbeStep ClassifyFirstReply(std::span<const Byte> first, std::string& modelText);
std::string FinishModelText(std::string modelText, std::span<const Byte> second);

template <typename SecondQuery>
std::optional<std::string> ProbeModelText(std::span<const Byte> first, SecondQuery&& second) {
    std::string text;
    switch (ClassifyFirstReply(first, text)) {
        case ProbeStep::NoReport: return std::nullopt;
        case ProbeStep::Report: return text;
        case ProbeStep::NeedsSecond: {
            const Bytes reply = second();
            return FinishModelText(std::move(text), reply);
        }
    }
    return std::nullopt;
}

}  // namespace dravik::protocol
