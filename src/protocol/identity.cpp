#include "protocol/identity.h"

#include "protocol/models.h"
#include "protocol/reply.h"

#include <cctype>

namespace dravik::protocol {

namespace {

constexpr std::string_view kTags[] = {"LM", "JSV-Q", "KA-xxQ", "ORV", "ORV_92Q"};
constexpr std::string_view kMakerPrefix = "ORVANTE ";
constexpr std::string_view kUnknownModel = "unknow";

}  // namespace

Frame BuildIdentityQuery(IdentityForm form, Byte monitorId) {
    Frame f = form == IdentityForm::A2 ? Frame::Build(kCmdIdentityA2, {0x01}) : Frame::Build(kCmdIdentityA1, {0x00});
    f.SetMonitorId(monitorId);
    return f;
}

bool IsTextReply(std::span<const Byte> reply, int limit) {
    const Reply r(reply);
    return r.hasReplyHeader() && r.signedLength() > limit &&
           (r.command() == kCmdIdentityA1 || r.command() == kCmdIdentityA2);
}

std::string IdentityText(std::span<const Byte> reply, int limit) {
    std::string text;
    if (!IsTextReply(reply, limit)) return text;
    // Bytes 7 up to, not including, the last one received (the checksum); zeros add nothing.
    for (const Byte b : Reply(reply).data())
        if (b != 0) text.push_back(static_cast<char>(b));
    return text;
}

std::optional<IdentityForm> IdentityFormFor(IdentityModels models, std::string_view model) {
    const bool all = models == IdentityModels::All;
    const ModelList a2 = all ? ModelList(identity_forms::kAllA2) : ModelList(identity_forms::kWallA2);
    const ModelList a1 = all ? ModelList(identity_forms::kAllA1) : ModelList(identity_forms::kWallA1);
    if (Contains(a2, model)) return IdentityForm::A2;
    if (Contains(a1, model)) return IdentityForm::A1;
    return std::nullopt;
}

bool IsIdentityTag(std::string_view text) { return Contains(kTags, text); }

std::string TrimTrailingSpace(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    return std::string(text.substr(0, end));
}

std::string StripMakerName(std::string_view text) {
    if (text.substr(0, kMakerPrefix.size()) == kMakerPrefix) text.remove_prefix(kMakerPrefix.size());
    return std::string(text);
}

ProbeStep ClassifyFirstReply(std::span<const Byte> first, std::string& modelText) {
    const Reply r(first);
    if (!r.hasReplyHeader()) return ProbeStep::NoReport;
    // A display answered at this ID. A reply too short to carry its length byte counts as
    // a short reply: the model is not known.
    if (!(r.signedLength() > 4)) {
        modelText = kUnknownModel;
        return ProbeStep::Report;
    }
    modelText = IdentityText(first, 4);
    if (IsIdentityTag(modelText)) return ProbeStep::NeedsSecond;
    modelText = TrimTrailingSpace(modelText);
    return ProbeStep::Report;
}

std::string FinishModelText(std::string modelText, std::span<const Byte> second) {
    if (IsTextReply(second, 4)) modelText = IdentityText(second, 4);
    return TrimTrailingSpace(modelText);
}

}  // namespace dravik::protocol
