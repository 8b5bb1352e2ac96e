// dravikctl as a function, so tests run it in-process as well as through the binary.
// A QCoreApplication (or QApplication) must exist: the exchanges use Qt's sockets and
// serial ports.
#pragma once

#include <ostream>
#include <span>
#include <string>

namespace dravik::ctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNothingReached = 3;

// `args` are the arguments after the program name. Returns the exit status.
int Main(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace dravik::ctl
