#pragma once
// The private session bus with its unlocked secret store that scripts/services/session-bus.sh starts for
// a test run. Tests that touch a secret store or the bus derive their fixture from SessionBusTest: it
// skips when run by hand without the bus, fails under CI (CI=true), points this process (and the
// programs it starts) at the private bus only, holds the bus for one test at a time, and starts with no
// item under the given keychain services.

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace testsupport {

class SessionBusTest : public ::testing::Test {
protected:
    /// `keychainServices`: the "service" attributes whose items are deleted before each test.
    explicit SessionBusTest(std::vector<std::string> keychainServices = {});
    void SetUp() override;
    void TearDown() override;

    /// The private bus's address.
    static std::string busAddress();

    /// Runs secret-tool against the private bus with `arguments` (passed through the shell); returns its
    /// exit status and fills `output` with its standard output.
    static int secretTool(const std::string& arguments, std::string* output = nullptr);
    /// secret-tool's listing of every item with these attributes ("service S account A"): per item its
    /// path in brackets, label, secret and attributes.
    static std::string itemListing(const std::string& attributes);
    /// How many items carry these attributes.
    static int itemCount(const std::string& attributes);

private:
    std::vector<std::string> keychainServices_;
    int lockFd_ = -1;
};

} // namespace testsupport
