// The kernel's neighbour table text. The first line of the input is the address asked
// about; the rest is the table as read from the file.
#include "discovery/neighbour_table.h"
#include "discovery/scan_rules.h"
#include "fuzz_input.h"

#include <string>

using namespace dravik::discovery;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all = dravik::fuzz::AsText({data, size});
    const auto nl = all.find('\n');
    const std::string_view address = all.substr(0, nl);
    const std::string_view table = nl == std::string_view::npos ? std::string_view{} : all.substr(nl + 1);

    const bool resolved = NeighbourResolved(table, address);
    if (resolved) {
        // Only a well-formed address can be found, and only in a table that names it.
        const auto parsed = ParseIpv4(address);
        DRAVIK_FUZZ_CHECK(parsed.has_value());
        DRAVIK_FUZZ_CHECK(table.find('\n') != std::string_view::npos);
    }
    // The answer depends on the table's lines, not on where the buffer ends: a table with
    // a line of noise appended answers the same.
    const std::string longer = std::string(table) + (table.empty() || table.back() == '\n' ? "" : "\n") + "x\n";
    DRAVIK_FUZZ_CHECK(NeighbourResolved(longer, address) == resolved);
    return 0;
}
