// Inputs that fuzzing found problems with, each fed to the reader it broke, with the
// behaviour the fix gives. The inputs are kept in fuzz/corpus/<target>/regression-*.
#include "dravikctl/cli_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string Saved(const std::string& target, const std::string& name) {
    std::ifstream in(std::string(DRAVIK_FUZZ_CORPUS) + "/" + target + "/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Arguments(const std::string& nulSeparated) {
    std::vector<std::string> args(1);
    for (char c : nulSeparated) {
        if (c == '\0') args.emplace_back();
        else args.back().push_back(c);
    }
    return args;
}

// An unknown option with a line break or other control byte in its name used to be echoed
// as it was, so the "one line for standard error" broke into several.
TEST(FuzzRegression, UnknownOptionErrorsStayOnOneLine) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"saved input", Arguments(Saved("fuzz_ctl_args", "regression-unknown-option-newline")), nullptr},
        {"long option", {"send", "on", "--bo\ngus"}, "unknown option --bo?gus"},
        {"short option", {"send", "on", "-\t"}, "unknown option -?"},
        {"carriage return", {"send", "on", "--x\r"}, "unknown option --x?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = dravik::ctl::ParseCommandLine(c.args);
        ASSERT_FALSE(r.ok);
        EXPECT_EQ(r.error.find_first_of("\n\r\t"), std::string::npos) << r.error;
        if (c.expected) {
            EXPECT_NE(r.error.find(c.expected), std::string::npos) << r.error;
        }
    }
}

}  // namespace
