#pragma once
// The private X display with its tray host that scripts/services/x-display.sh starts for a test run.
// Tests that need it derive their fixture from XDisplayTest: it skips when run by hand without the
// display, fails under CI (CI=true), and holds the display for one test at a time across test processes
// (the global hot key exists once per display).

#include <gtest/gtest.h>
#include <string>

namespace testsupport {

class XDisplayTest : public ::testing::Test {
protected:
    void SetUp() override;
    ~XDisplayTest() override;

    /// The private display's name, e.g. ":99".
    static std::string displayName();

private:
    int lockFd_ = -1;
};

} // namespace testsupport
