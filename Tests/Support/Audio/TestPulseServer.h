#pragma once
// The private sound server that scripts/services/pulseaudio.sh starts for a test run, shared by every
// test process. Tests that need it derive their fixture from PulseServerTest: it skips when run by
// hand without the server, fails under CI (CI=true) where the server must be there, never touches a
// user's own server, and holds the server for one test at a time (tests load modules and change
// defaults that the others would see), starting from the script's defaults.

#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace testsupport {

/// True when the environment says the tests run in CI, where a missing service is a failure.
bool runningUnderCI();

/// Runs pactl against the private server; returns its exit status and fills `output`.
int pactl(const std::string& arguments, std::string* output = nullptr);

class PulseServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    /// Lets the next test have the server only now, after the derived fixture's members (the modules
    /// it loaded) are gone: a module left behind would rename the next test's devices of that name.
    ~PulseServerTest() override;

private:
    int lockFd_ = -1;
};

/// Loads a module into the private server for the lifetime of this object. `arguments` go through the
/// shell; the server wants a property list with blanks in double quotes, the text inside in single
/// quotes: "sink_properties=\"device.description='USB Headset' device.bus=usb\"".
class LoadedPulseModule {
public:
    LoadedPulseModule(const std::string& name, const std::string& arguments);
    ~LoadedPulseModule();
    LoadedPulseModule(const LoadedPulseModule&) = delete;
    LoadedPulseModule& operator=(const LoadedPulseModule&) = delete;

    /// The server's module index; -1 when loading failed.
    int index() const { return index_; }

private:
    int index_ = -1;
};

} // namespace testsupport
