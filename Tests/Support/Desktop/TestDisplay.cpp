#include "Support/Desktop/TestDisplay.h"

#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"

#include <unistd.h>

namespace testsupport {

std::string XDisplayTest::displayName() {
    return environmentValue("VELMORA_TEST_DISPLAY");
}

void XDisplayTest::SetUp() {
    const std::string lockPath = environmentValue("VELMORA_TEST_DISPLAY_LOCK");
    if (displayName().empty() || lockPath.empty()) {
        if (runningUnderCI()) {
            FAIL() << "the private X display is not running (scripts/services/x-display.sh)";
        }
        GTEST_SKIP() << "no private X display; run the tests through scripts/test";
    }
    lockFd_ = lockFileExclusively(lockPath);
    ASSERT_GE(lockFd_, 0) << "cannot lock " << lockPath;
}

XDisplayTest::~XDisplayTest() {
    if (lockFd_ >= 0) {
        close(lockFd_);
    }
}

} // namespace testsupport
