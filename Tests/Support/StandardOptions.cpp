#include "Support/StandardOptions.h"

#include "Support/TestSupport.h"

#include <gtest/gtest.h>

namespace testsupport {

void expectStandardOptions(const std::string& program, const std::vector<std::string>& commands,
                           const std::string& environment) {
    const std::string tool = environment + " " + shellQuoted(toolPath(program).string()) + " ";
    for (const auto& command : commands) {
        std::string help, shortHelp, version;
        EXPECT_EQ(runCommand(tool + command + " --help 2>&1", &help), 0) << program << " " << command;
        EXPECT_TRUE(help.starts_with("usage") && help.find(command) != std::string::npos) << command << help;
        EXPECT_EQ(runCommand(tool + command + " -h 2>/dev/null", &shortHelp), 0) << program << " " << command;
        EXPECT_EQ(shortHelp, help) << program << " " << command;
        EXPECT_EQ(runCommand(tool + command + " --version 2>&1", &version), 0) << program << " " << command;
        EXPECT_EQ(version, program + " " VELMORA_VERSION "\n") << program << " " << command;
    }
}

} // namespace testsupport
