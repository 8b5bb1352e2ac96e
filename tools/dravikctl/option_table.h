// Every option of every dravikctl subcommand, --trace included, in one table: the parsers
// look options up here, the help texts list them from here, and a test holds the bash
// completion to it. An option whose help or meaning differs between subcommands (--format,
// --id) has one row per group of subcommands.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace dravik::ctl {

// A bit per subcommand; Main is the line before any subcommand (--help, --version, --trace).
enum SubcommandBit : unsigned {
    kBitFrame = 1u << 0,
    kBitSend = 1u << 1,
    kBitQuery = 1u << 2,
    kBitRaw = 1u << 3,
    kBitIdentity = 1u << 4,
    kBitWall = 1u << 5,
    kBitScan = 1u << 6,
    kBitSearch = 1u << 7,
    kBitCheck = 1u << 8,
    kBitMain = 1u << 9,
    kBitTargets = kBitSend | kBitQuery | kBitRaw | kBitIdentity | kBitWall,
    kBitDiscovery = kBitScan | kBitSearch | kBitCheck,
    kBitEvery = kBitFrame | kBitTargets | kBitDiscovery,
};

enum class OptionId {
    Help, Version, Trace, Verbose, Json, Format, NoWait, DryRun, SkipInvalid, Parallel, Ip, Serial, List, Mode, Device,
    Model, Id, Pos, Level, KeyLock, IrLock, Matrix, Enable, FrameComp, Rgb, At, WriteList, Range, Local, Port, From, To,
};

// Where an option's help line goes in its subcommand's help.
enum class HelpSection { Displays, Values, Output, Main };

struct OptionDef {
    OptionId id;
    std::string_view name;  // without the leading "--"
    char shortName;         // 0: none
    bool takesValue;
    unsigned where;         // SubcommandBit of the subcommands that take it
    HelpSection section;
    std::string_view help;  // the help line(s) as printed, each ending in a line end
};

std::span<const OptionDef> AllOptions();

// The bit of a subcommand by its name ("send", "scan"); 0 for none.
unsigned SubcommandBitOf(std::string_view name);

// The row of --name (or -c) for the subcommand `bit`; else the first row of that name, so
// the caller can say the option does not apply; nullptr for an unknown option.
const OptionDef* FindLongOption(std::string_view name, unsigned bit);
const OptionDef* FindShortOption(char c, unsigned bit);

// The help lines of one section for one subcommand, in the table's order.
std::string OptionHelp(HelpSection section, unsigned bit);
// Reads the arguments after a subcommand against the table, as every subcommand reads them:
// "--name VALUE", "--name=VALUE", grouped single letters ("-vh"), operands, and "--" after
// which everything is an operand. `option` gets each option that applies to the subcommand
// (`bit`, named `subcommand` in messages) with its value; `operand` each operand. Either
// returns false with `error` set to stop. False with a one-line `error` on bad input.
bool ReadArguments(std::span<const std::string> args, unsigned bit, std::string_view subcommand,
                   const std::function<bool(const OptionDef&, const std::string&)>& option,
                   const std::function<bool(const std::string&)>& operand, std::string& error);

// A subcommand's option sections (Displays, Output, Values), each under its heading.
std::string OptionSections(unsigned bit);

}  // namespace dravik::ctl
