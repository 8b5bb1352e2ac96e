// The identity exchange of a scan probe: a first reply and, when it carries a family tag,
// a second one. The first input byte says where the first reply ends.
#include "fuzz_input.h"
#include "protocol/identity.h"

using namespace dravik::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dravik::fuzz::Input in(data, size);
    const std::size_t firstSize = in.Byte();
    const auto first = in.Take(firstSize);
    const auto second = in.Rest();

    std::string text;
    const ProbeStep step = ClassifyFirstReply(first, text);
    if (first.empty() || first[0] != kReplyHeader) {
        DRAVIK_FUZZ_CHECK(step == ProbeStep::NoReport);
        return 0;
    }
    DRAVIK_FUZZ_CHECK(step != ProbeStep::NoReport);
    if (step == ProbeStep::NeedsSecond) {
        DRAVIK_FUZZ_CHECK(IsIdentityTag(text));
        text = FinishModelText(text, second);
    }
    // Whatever the model text is, it ends without white space and never grows past the bytes
    // it came from.
    DRAVIK_FUZZ_CHECK(text == TrimTrailingSpace(text));
    DRAVIK_FUZZ_CHECK(text.size() <= std::max<std::size_t>(first.size() + second.size(), 6));

    // The probe template agrees with the two-step core.
    const auto probed = ProbeModelText(first, [&] { return Bytes(second.begin(), second.end()); });
    DRAVIK_FUZZ_CHECK(probed && *probed == text);

    const std::string stripped = StripMakerName(text);
    DRAVIK_FUZZ_CHECK(stripped.size() <= text.size());
    for (int limit : {-1, 0, 4, 127}) {
        const std::string t = IdentityText(second, limit);
        DRAVIK_FUZZ_CHECK(t.empty() || IsTextReply(second, limit));
    }
    return 0;
}
