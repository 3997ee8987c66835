#include "Support/Desktop/SessionBusTest.h"

#include "Support/Audio/TestPulseServer.h"
#include "Support/TestSupport.h"

#include <cstdlib>
#include <unistd.h>

namespace testsupport {

SessionBusTest::SessionBusTest(std::vector<std::string> keychainServices)
    : keychainServices_(std::move(keychainServices)) {}

std::string SessionBusTest::busAddress() {
    return environmentValue("VELMORA_TEST_SESSION_BUS");
}

int SessionBusTest::secretTool(const std::string& arguments, std::string* output) {
    return runCommand("DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(busAddress()) + " secret-tool " + arguments +
                          " 2>/dev/null",
                      output);
}

std::string SessionBusTest::itemListing(const std::string& attributes) {
    // secret-tool writes the attributes to standard error, the rest to standard output.
    std::string listing;
    runCommand("DBUS_SESSION_BUS_ADDRESS=" + shellQuoted(busAddress()) + " secret-tool search --all " +
                   attributes + " 2>&1",
               &listing);
    return listing;
}

int SessionBusTest::itemCount(const std::string& attributes) {
    const std::string listing = itemListing(attributes);
    // Each item's listing starts with its path in brackets on a line of its own.
    int count = listing.rfind("[", 0) == 0 ? 1 : 0;
    for (std::size_t at = listing.find("\n["); at != std::string::npos; at = listing.find("\n[", at + 1)) {
        ++count;
    }
    return count;
}

void SessionBusTest::SetUp() {
    const std::string lockPath = environmentValue("VELMORA_TEST_SESSION_BUS_LOCK");
    if (busAddress().empty() || lockPath.empty()) {
        if (runningUnderCI()) {
            FAIL() << "the private session bus is not running (scripts/services/session-bus.sh)";
        }
        GTEST_SKIP() << "no private session bus; run the tests through scripts/test";
    }
    lockFd_ = lockFileExclusively(lockPath);
    ASSERT_GE(lockFd_, 0) << "cannot lock " << lockPath;
    // This process and everything it starts must reach the private bus only.
    setenv("DBUS_SESSION_BUS_ADDRESS", busAddress().c_str(), 1);
    for (const std::string& service : keychainServices_) {
        secretTool("clear service " + shellQuoted(service));
        ASSERT_EQ(itemCount("service " + shellQuoted(service)), 0) << "items of " << service << " stay";
    }
}

void SessionBusTest::TearDown() {
    if (lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
}

} // namespace testsupport
