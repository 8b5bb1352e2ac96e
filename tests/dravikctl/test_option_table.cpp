// The option table against what is built from it or beside it: every subcommand's --help
// names each option it takes and no option it refuses, the bash completion offers exactly
// the table's options, and --trace is an option of the table that "--" ends like any other.
#include "ctl_helpers.h"

#include "dravikctl/option_table.h"

#include <QProcess>

#include <cstdio>
#include <fstream>

#include <map>
#include <regex>
#include <set>

namespace dravik::ctl::testing {
namespace {

const std::vector<std::string> kSubcommands{"frame", "send", "query", "raw", "identity", "wall", "scan", "search", "check"};

std::set<std::string> TableOptions(unsigned bit) {
    std::set<std::string> names;
    for (const OptionDef& o : AllOptions())
        if (o.where & bit) names.insert("--" + std::string(o.name));
    return names;
}

std::set<std::string> OptionWords(const std::string& text) {
    std::set<std::string> words;
    const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z][a-z-]*[a-z]))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        words.insert((*it)[2]);
    return words;
}

TEST(DravikCtlOptionTable, EverySubcommandsHelpNamesItsOptionsAndNoOther) {
    // Options a help text names to say they are not taken.
    const std::map<std::string, std::set<std::string>> namedAsNotTaken{{"raw", {"--id"}}};
    for (const std::string& sub : kSubcommands) {
        SCOPED_TRACE(sub);
        const CtlRun help = Ctl({sub, "--help"});
        ASSERT_EQ(help.status, kExitOk);
        std::set<std::string> expected = TableOptions(SubcommandBitOf(sub));
        expected.erase("--trace");  // told of once, in the main help: it goes with every subcommand
        const std::set<std::string> named = OptionWords(help.out);
        for (const std::string& o : expected) EXPECT_TRUE(named.count(o)) << o << " is not in the help:\n" << help.out;
        for (const std::string& o : named) {
            if (namedAsNotTaken.count(sub) && namedAsNotTaken.at(sub).count(o)) continue;
            EXPECT_TRUE(expected.count(o)) << o << " is in the help but not taken:\n" << help.out;
        }
    }
    const CtlRun main = Ctl({"--help"});
    for (const std::string& o : TableOptions(kBitMain)) EXPECT_TRUE(OptionWords(main.out).count(o)) << o;
}

// The completion script run by bash itself: what it offers after "-" per subcommand.
TEST(DravikCtlOptionTable, TheBashCompletionOffersTheTablesOptions) {
    QProcess bash;
    std::string script = "source '" DRAVIKCTL_COMPLETION "'\n"
                         "COMP_WORDS=(dravikctl -); COMP_CWORD=1; _dravikctl; echo \"main ${COMPREPLY[*]}\"\n";
    for (const std::string& sub : kSubcommands) {
        script += "COMP_WORDS=(dravikctl " + sub + " -); COMP_CWORD=2; _dravikctl; echo \"" + sub +
                  " ${COMPREPLY[*]}\"\n";
    }
    bash.start(QStringLiteral("bash"), {QStringLiteral("--norc"), QStringLiteral("-c"), QString::fromStdString(script)});
    if (!bash.waitForStarted()) GTEST_SKIP() << "no bash";
    ASSERT_TRUE(bash.waitForFinished(20000));
    ASSERT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().toStdString();
    std::map<std::string, std::set<std::string>> offered;
    for (const QByteArray& line : bash.readAllStandardOutput().split('\n')) {
        const std::string l = line.toStdString();
        const auto space = l.find(' ');
        if (space == std::string::npos) continue;
        offered[l.substr(0, space)] = OptionWords(l.substr(space));
    }
    EXPECT_EQ(offered["main"], TableOptions(kBitMain));
    for (const std::string& sub : kSubcommands) EXPECT_EQ(offered[sub], TableOptions(SubcommandBitOf(sub))) << sub;
}

// Each option is looked up once: its row for the subcommand, else a row that says it does
// not apply.
TEST(DravikCtlOptionTable, LookUpBySubcommand) {
    EXPECT_EQ(FindLongOption("id", kBitCheck)->help.find("repeatable") != std::string_view::npos, true);
    EXPECT_EQ(FindLongOption("id", kBitRaw)->where & kBitRaw, 0u);
    EXPECT_EQ(FindShortOption('n', kBitWall)->id, OptionId::DryRun);
    EXPECT_EQ(FindLongOption("nonsense", kBitSend), nullptr);
    // Every option of a subcommand has one row for it.
    for (const std::string& sub : kSubcommands) {
        std::set<std::string> seen;
        for (const OptionDef& o : AllOptions()) {
            if ((o.where & SubcommandBitOf(sub)) == 0) continue;
            EXPECT_TRUE(seen.insert(std::string(o.name)).second) << sub << " " << o.name;
        }
    }
}

// "--" ends the options for --trace as for every other: what follows is an operand.
TEST(DravikCtlOptionTable, DoubleDashEndsTraceToo) {
    const std::string trace = ::testing::TempDir() + "dravikctl_double_dash.log";
    std::remove(trace.c_str());
    const CtlRun o = Ctl({"frame", "on", "--", "--trace", trace});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_NE(o.err.find("takes one command"), std::string::npos) << o.err;
    EXPECT_FALSE(std::ifstream(trace).good()) << "--trace after -- was taken as the option";
}

}  // namespace
}  // namespace dravik::ctl::testing
