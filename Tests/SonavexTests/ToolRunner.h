#pragma once
// Runs the built sonavex tool from tests and collects what it printed.

#include "Support/TestSupport.h"

#include <string>

struct ToolOutcome {
    int status;
    std::string output;
};

/// Runs `sonavex ARGUMENTS`; standard error is kept (after standard output) only when asked for.
inline ToolOutcome runSonavex(const std::string& arguments, bool withStandardError = false) {
    ToolOutcome outcome;
    outcome.status = testsupport::runCommand(testsupport::toolPath("sonavex").string() + " " + arguments +
                                                 (withStandardError ? " 2>&1" : " 2>/dev/null"),
                                             &outcome.output);
    return outcome;
}

/// The same with `input` on standard input.
inline ToolOutcome runSonavexWithInput(const std::string& arguments, const std::string& input) {
    testsupport::TemporaryDirectory folder;
    testsupport::writeFile(folder / "input", input);
    return runSonavex(arguments + " < '" + (folder / "input").string() + "'");
}
