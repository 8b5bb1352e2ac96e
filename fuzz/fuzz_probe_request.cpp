// dravik-exporter's /probe query string and target text: never a crash, and a target that
// reads back in its canonical form names the same display and line.
#include "fuzz_input.h"
#include "exporter/probe_request.h"

using namespace dravik::exporter;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 4096) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto request = ParseProbeRequest(text, &why);
    DRAVIK_FUZZ_CHECK(request.has_value() || !why.empty());
    const auto target = ParseTarget(text, &why);
    for (const auto& t : {request ? std::optional<ProbeTarget>(request->target) : std::nullopt, target}) {
        if (!t) continue;
        DRAVIK_FUZZ_CHECK(t->monitorId >= 1 && t->monitorId <= 255);
        DRAVIK_FUZZ_CHECK(!t->displayKey().empty());
        const std::string canonical = t->serial ? t->device + "@" + std::to_string(t->monitorId)
                                                : t->host + ":" + std::to_string(t->port) + "@" + std::to_string(t->monitorId);
        const auto again = ParseTarget(canonical, &why);
        DRAVIK_FUZZ_CHECK(again.has_value());
        DRAVIK_FUZZ_CHECK(again->displayKey() == t->displayKey() && again->lineKey() == t->lineKey());
        if (t->serial) DRAVIK_FUZZ_CHECK(t->device.rfind("/dev/", 0) == 0 && t->device.find("/../") == std::string::npos);
    }
    return 0;
}
