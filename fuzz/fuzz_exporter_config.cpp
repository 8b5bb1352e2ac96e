// dravik-exporter's YAML files (the configuration and the web configuration): never a crash
// or a hang; a file that reads has a default module and reads in every module, one that does
// not says where.
#include "fuzz_input.h"
#include "exporter/exporter_config.h"

using namespace dravik::exporter;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 8192) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FileError error;
    if (const auto config = ParseConfig(text, "fuzz.yml", &error)) {
        DRAVIK_FUZZ_CHECK(config->modules.count("default") == 1);
        for (const auto& [name, module] : config->modules) {
            DRAVIK_FUZZ_CHECK(!module.reads.empty() && module.timeout.count() > 0);
        }
        for (const auto& n : config->networks) DRAVIK_FUZZ_CHECK(n.prefix >= 0 && n.prefix <= 32);
    } else {
        DRAVIK_FUZZ_CHECK(!error.message.empty() && error.line >= 0 && error.column >= 0);
    }
    if (const auto web = ParseWebConfig(text, "/etc/fuzz/web.yml", &error)) {
        DRAVIK_FUZZ_CHECK(web->certFile.empty() == web->keyFile.empty());
        for (const auto& [user, hash] : web->users) DRAVIK_FUZZ_CHECK(hash.size() == 60);
    }
    return 0;
}
