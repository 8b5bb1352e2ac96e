// Display replies against every decoder of the Control and wall pages. The first input byte
// picks the model whose layout the reply is read with; the rest is the received reply,
// exactly as long as it came (the decoders must never look past it).
#include "fuzz_input.h"
#include "protocol/decode.h"
#include "protocol/identity.h"
#include "protocol/models.h"
#include "protocol/wall.h"

#include <string_view>
#include <vector>

using namespace dravik::protocol;

namespace {

const std::vector<std::string_view>& Models() {
    static const std::vector<std::string_view> models = [] {
        std::vector<std::string_view> m{"", "lm-55", "KA-"};
        for (const auto& g : kGroups) m.insert(m.end(), g.members.begin(), g.members.end());
        return m;
    }();
    return models;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dravik::fuzz::Input in(data, size);
    const auto& models = Models();
    const std::string_view model = models[in.Byte() % models.size()];
    const auto reply = in.Rest();

    DisplayValues values;
    const DecodeResult r = DecodeReply(reply, model, values);
    DRAVIK_FUZZ_CHECK(r.messageLine.empty() || r.messageLine == "executed" || r.messageLine == "NACK" ||
                      r.messageLine == "NAV");
    // The same bytes read the same way again: no state hides between calls.
    DisplayValues again;
    const DecodeResult r2 = DecodeReply(reply, model, again);
    DRAVIK_FUZZ_CHECK(again == values && r2.result == r.result && r2.refresh == r.refresh &&
                      r2.messageLine == r.messageLine);
    // Nothing that did not come in can change a value.
    if (reply.size() < 8) {
        DRAVIK_FUZZ_CHECK(values == DisplayValues{});
    }

    int red = -1, green = -1, blue = -1;
    if (DecodeGainReply(reply, red, green, blue)) {
        DRAVIK_FUZZ_CHECK(reply.size() >= 10);
        DRAVIK_FUZZ_CHECK(red >= 0 && red <= 255 && green >= 0 && green <= 255 && blue >= 0 && blue <= 255);
    } else {
        DRAVIK_FUZZ_CHECK(red == -1 && green == -1 && blue == -1);
    }

    const std::string text = IdentityText(reply);
    DRAVIK_FUZZ_CHECK(text.size() <= reply.size());
    if (!text.empty()) DRAVIK_FUZZ_CHECK(IsTextReply(reply));
    return 0;
}
