// Reply bytes as the links hand them to the flows, through the one rule that says what they
// are. The whole input is the received reply, exactly as long as it came.
#include "fuzz_input.h"
#include "flows/reply_rules.h"

#include <vector>

using dravik::flows::Outcome;
using dravik::flows::rules::ClassifyReply;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    dravik::fuzz::Input in(data, size);
    const auto reply = in.Rest();
    const Outcome o = ClassifyReply(reply);

    // Only the outcomes of reply bytes; never one of a link or a model.
    DRAVIK_FUZZ_CHECK(o == Outcome::NoReply || o == Outcome::WrongHeader || o == Outcome::ShortReply ||
                      o == Outcome::BadChecksum || o == Outcome::Replied || o == Outcome::Nack ||
                      o == Outcome::Nav);
    DRAVIK_FUZZ_CHECK((o == Outcome::NoReply) == reply.empty());
    if (!reply.empty()) DRAVIK_FUZZ_CHECK((o == Outcome::WrongHeader) == (reply[0] != 0x21));
    // The same bytes read the same way again.
    DRAVIK_FUZZ_CHECK(ClassifyReply(reply) == o);

    if (o == Outcome::Replied || o == Outcome::Nack || o == Outcome::Nav || o == Outcome::BadChecksum) {
        // A whole frame: its length byte is covered by what came.
        DRAVIK_FUZZ_CHECK(reply.size() >= 5);
        const std::size_t total = std::size_t{reply[4]} + 5;
        DRAVIK_FUZZ_CHECK(reply[4] >= 3 && total <= reply.size());
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i + 1 < total; ++i) sum ^= reply[i];
        DRAVIK_FUZZ_CHECK((sum == reply[total - 1]) == (o != Outcome::BadChecksum));
        if (o == Outcome::Nack || o == Outcome::Nav) {
            DRAVIK_FUZZ_CHECK(reply[4] == 4 && reply[7] == (o == Outcome::Nack ? 3 : 4));
        }
        // Bytes past the frame do not change what it is; any cut of it is short.
        DRAVIK_FUZZ_CHECK(ClassifyReply(reply.first(total)) == o);
        for (std::size_t cut = 1; cut < total; ++cut) {
            DRAVIK_FUZZ_CHECK(ClassifyReply(reply.first(cut)) == Outcome::ShortReply);
        }
    }
    return 0;
}
