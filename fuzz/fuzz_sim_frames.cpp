// The simulated display reads request frames from a TCP stream or a serial line. The input
// is fed in pieces whose sizes the first bytes choose; every frame the reader passes as good
// goes to the display, whose reply must be a well-formed reply frame.
#include "display-sim/display.h"
#include "display-sim/frame_reader.h"
#include "fuzz_input.h"

using namespace dravik::sim;
using dravik::protocol::Byte;

namespace {

void Check(const ReceivedFrame& f, Display& display, Link link) {
    DRAVIK_FUZZ_CHECK(!f.bytes.empty());
    DRAVIK_FUZZ_CHECK(f.valid == f.problem.empty());
    if (!f.valid) return;
    DRAVIK_FUZZ_CHECK(f.bytes.size() <= FrameReader::kMaxFrame);
    DRAVIK_FUZZ_CHECK(f.bytes[0] == 0xA6 && f.bytes.size() >= 9);
    const Reply r = display.respond(f.bytes, link);
    if (r.bytes.empty()) return;
    const std::size_t n = r.bytes.size();
    DRAVIK_FUZZ_CHECK(n >= 9);
    DRAVIK_FUZZ_CHECK(r.bytes[4] == static_cast<Byte>(n - 5));
    DRAVIK_FUZZ_CHECK(dravik::protocol::Checksum(std::span<const Byte>(r.bytes.data(), n - 1)) == r.bytes.back());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8192) return 0;
    dravik::fuzz::Input in(data, size);
    const std::uint8_t pieces = in.Byte();
    const Link link = (pieces & 0x80) ? Link::Serial : Link::Lan;
    DisplayConfig config;
    config.model = (pieces & 0x40) ? "KA-55" : "LM-55";
    config.fault = static_cast<Fault>((pieces >> 3) % 9);
    Display display(config);

    FrameReader reader;
    std::size_t fed = 0, out = 0;
    while (in.size() > 0) {
        const std::size_t piece = 1 + in.Byte() % 64;
        const auto chunk = in.Take(piece);
        reader.feed(chunk);
        fed += chunk.size();
        while (auto f = reader.next()) {
            out += f->bytes.size();
            Check(*f, display, link);
        }
    }
    while (auto f = reader.flushPartial()) {
        out += f->bytes.size();
        Check(*f, display, link);
    }
    // Every byte comes out exactly once, in a good frame or a bad one.
    DRAVIK_FUZZ_CHECK(out == fed && !reader.hasPartial());
    return 0;
}
