#include "Support/Audio/TestPulseServer.h"

#include "Support/TestSupport.h"

#include <cstdlib>
#include <unistd.h>

namespace testsupport {

bool runningUnderCI() {
    return environmentValue("CI") == "true";
}

int pactl(const std::string& arguments, std::string* output) {
    std::string server = environmentValue("VELMORA_TEST_PULSE_SERVER");
    if (server.empty()) {
        return -1;
    }
    return runCommand("PULSE_SERVER=" + shellQuoted(server) + " pactl " + arguments + " 2>/dev/null", output);
}

void PulseServerTest::SetUp() {
    std::string server = environmentValue("VELMORA_TEST_PULSE_SERVER");
    std::string lockPath = environmentValue("VELMORA_TEST_PULSE_LOCK");
    if (server.empty() || lockPath.empty() || pactl("info") != 0) {
        if (runningUnderCI()) {
            FAIL() << "the private sound server is not running (scripts/services/pulseaudio.sh)";
        }
        GTEST_SKIP() << "no private sound server; run the tests through scripts/test";
    }
    lockFd_ = lockFileExclusively(lockPath);
    ASSERT_GE(lockFd_, 0) << "cannot lock " << lockPath;
    // The client library in this process must talk to the private server only.
    setenv("PULSE_SERVER", server.c_str(), 1);
    ASSERT_EQ(pactl("set-default-sink test_sink"), 0);
    ASSERT_EQ(pactl("set-default-source test_source"), 0);
}

PulseServerTest::~PulseServerTest() {
    if (lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
}

LoadedPulseModule::LoadedPulseModule(const std::string& name, const std::string& arguments) {
    std::string output;
    if (pactl("load-module " + name + " " + arguments, &output) == 0) {
        index_ = std::atoi(output.c_str());
    } else {
        ADD_FAILURE() << "pactl load-module " << name << " " << arguments << " failed";
    }
}

LoadedPulseModule::~LoadedPulseModule() {
    if (index_ >= 0) {
        pactl("unload-module " + std::to_string(index_));
    }
}

} // namespace testsupport
