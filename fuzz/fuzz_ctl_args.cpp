// dravikctl's command line: the input is an argument vector, one argument per NUL-separated
// piece. Whatever it holds, parsing ends with options in range or with a one-line error.
#include "dravikctl/cli_options.h"
#include "fuzz_input.h"
#include "protocol/frame.h"

using namespace dravik::ctl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    std::vector<std::string> args = dravik::fuzz::SplitAt({data, size}, '\0');
    if (args.size() == 1 && args[0].empty()) args.clear();

    const ParseResult r = ParseCommandLine(args);
    if (!r.ok) {
        DRAVIK_FUZZ_CHECK(!r.error.empty());
        DRAVIK_FUZZ_CHECK(r.error.find('\n') == std::string::npos);
    } else {
        const Options& o = r.options;
        if (o.matrix) {
            for (int v : *o.matrix) DRAVIK_FUZZ_CHECK(v >= 1 && v <= 5);
        }
        if (o.rgb) {
            for (int v : *o.rgb) DRAVIK_FUZZ_CHECK(v >= 0 && v <= 255);
        }
        DRAVIK_FUZZ_CHECK(o.parallel >= 0);
        for (const auto& t : o.targets) {
            if (!t.target.serial()) DRAVIK_FUZZ_CHECK(IsAddressText(t.target.address));
        }
        (void)SubcommandUsage(o.subcommand);
    }

    // The raw subcommand's hex frames and the address test read user text too.
    for (const std::string& a : args) {
        dravik::protocol::Bytes bytes;
        if (dravik::protocol::ParseHex(a, bytes)) DRAVIK_FUZZ_CHECK(bytes.size() <= a.size());
        if (IsAddressText(a)) DRAVIK_FUZZ_CHECK(!a.empty() && a.size() <= 253);
    }
    return 0;
}
