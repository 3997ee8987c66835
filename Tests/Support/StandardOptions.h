#pragma once
// The answers every built program gives to --help, -h and --version.

#include <string>
#include <vector>

namespace testsupport {

/// Expects `PROGRAM COMMAND --help` and `-h` to print one usage naming COMMAND, on standard output only,
/// and `PROGRAM COMMAND --version` to print "PROGRAM VERSION", all with exit status 0. The command ""
/// is the program alone; `environment` goes before the program ("env -u DISPLAY", say).
void expectStandardOptions(const std::string& program, const std::vector<std::string>& commands = {""},
                           const std::string& environment = "");

} // namespace testsupport
