#pragma once
// A sound server of one test's own, which the test may kill and start again: for what a recording does
// when its server goes away. It is private like the run's shared server (its own runtime folder and
// home, no configuration, anonymous access on its own socket) and loads the test's devices at every
// start, so a server started again looks as it did. Tests derive their fixture from
// DisposablePulseServerTest, which skips without pulseaudio when run by hand and fails under CI.

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

class TemporaryDirectory;

struct PulseDevices {
    /// Module lines loaded in order at every start, e.g. "module-null-sink sink_name=speakers".
    std::vector<std::string> modules;
    std::string defaultSink;
    std::string defaultSource;
    /// Sources recorded at low latency (by parec) from every start on. A null sink whose monitor nobody
    /// records hands out nothing for up to two seconds once asked; a busy one delivers at once, so a
    /// stream that connects or is moved there gets samples as from a microphone.
    std::vector<std::string> busySources;
};

/// A call playing on the only speakers (a 440 Hz sine on "speakers", the default output) and a headset
/// microphone "headset_mic" (the default input) that hears a 1000 Hz sine. The microphone is a remap
/// source over the monitor of a null sink, "headset_feed"; both are kept busy, so they deliver in real
/// time from the start, as a microphone and a playing output do.
PulseDevices aCallWithAHeadset();

class DisposablePulseServer {
public:
    explicit DisposablePulseServer(PulseDevices devices);
    /// Kills the server if it runs and removes its folder.
    ~DisposablePulseServer();
    DisposablePulseServer(const DisposablePulseServer&) = delete;
    DisposablePulseServer& operator=(const DisposablePulseServer&) = delete;

    /// Starts the server (again) and waits until it answers with its devices and defaults in place;
    /// false, with the server's log on standard error, when it does not.
    bool start();
    /// Kills the server as a crash would (SIGKILL) and waits until it is gone.
    void kill();

    /// The address clients use (PULSE_SERVER).
    const std::string& address() const { return address_; }
    /// "PULSE_SERVER='…' ", to put before a command line.
    std::string commandEnvironment() const;
    /// Runs pactl against this server; its exit status, with its standard output in `output`.
    int pactl(const std::string& arguments, std::string* output = nullptr) const;
    /// Loads a module now (not at later starts) and returns its index, -1 on failure.
    int loadModule(const std::string& line) const;
    /// Records `source` at low latency until the server is killed (see PulseDevices::busySources);
    /// returns once it delivers, false when it does not.
    bool keepBusy(const std::string& source);
    bool keepBusy(const std::vector<std::string>& sources);

    /// True when pulseaudio, pactl and parec are installed.
    static bool installed();

private:
    PulseDevices devices_;
    std::unique_ptr<TemporaryDirectory> folder_;
    std::string address_;
    pid_t pid_ = -1;
    std::vector<pid_t> busy_;
};

class DisposablePulseServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    /// Starts a server with these devices and points this process's client library at it.
    void startServer(PulseDevices devices);

    std::unique_ptr<DisposablePulseServer> server;
};

} // namespace testsupport
