#pragma once
// Runs velmoractl for a test in a temporary home of its own (settings, defaults and the Documents folder
// stay in it), from that home as the working folder.

#include "Support/TestSupport.h"

#include <string>

namespace velmoractltest {

struct ToolRun {
    int status;
    std::string output;
};

class Velmoractl {
public:
    /// Standard output only, or with standard error after it when `withErrors`.
    ToolRun operator()(const std::string& arguments, bool withErrors = false) const {
        ToolRun run{};
        run.status = testsupport::runCommand("cd '" + home.path().string() + "' && env -u XDG_CONFIG_HOME HOME='" +
                                                 home.path().string() + "' '" +
                                                 testsupport::toolPath("velmoractl").string() + "' " + arguments +
                                                 (withErrors ? " 2>&1" : " 2>/dev/null"),
                                             &run.output);
        return run;
    }
    testsupport::TemporaryDirectory home;
};

} // namespace velmoractltest
