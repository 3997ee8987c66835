// velmoractl record and record-dual on a sound server of the test's own that is killed, or loses its
// microphone, in the middle of a recording.

#include "../../VelmoractlRunner.h"
#include "Support/Audio/AudioTestFiles.h"
#include "Support/Audio/DisposablePulseServer.h"
#include "Support/Audio/SignalLevel.h"
#include "Support/TestSupport.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

namespace {

using nlohmann::json;

// Does `act` on a thread of its own once `file` has grown past `bytes`, i.e. once the recording is
// under way. The wait only keeps a recording that never starts from hanging the test.
class WhenRecorded {
public:
    WhenRecorded(std::filesystem::path file, std::uintmax_t bytes, std::function<void()> act)
        : thread_([file = std::move(file), bytes, act = std::move(act)] {
              for (int i = 0; i < 2000; ++i) {
                  std::error_code error;
                  if (std::filesystem::file_size(file, error) > bytes && !error) {
                      break;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(5));
              }
              act();
          }) {}
    ~WhenRecorded() { thread_.join(); }

private:
    std::thread thread_;
};

json lastLine(const std::string& output) {
    const auto end = output.find_last_not_of('\n');
    const auto start = output.rfind('\n', end);
    return json::parse(output.substr(start == std::string::npos ? 0 : start + 1, end + 1));
}

class VelmoractlLostDeviceTest : public testsupport::DisposablePulseServerTest {
protected:
    velmoractltest::Velmoractl velmoractl;
};

} // namespace

TEST_F(VelmoractlLostDeviceTest, ARecordingWhoseServerIsKilledKeepsWhatCameBeforeAndExitsOne) {
    ASSERT_NO_FATAL_FAILURE(startServer(testsupport::aCallWithAHeadset()));
    for (const std::string command : {"record --mic-only", "record", "record-dual"}) {
        SCOPED_TRACE(command);
        if (command != "record --mic-only") {
            ASSERT_TRUE(server->start());
        }
        const auto out = velmoractl.home / ("take " + std::to_string(command.size()));
        velmoractltest::ToolRun run;
        {
            // A quarter of a second of the headset, at 44.1 kHz.
            WhenRecorded kill(out / "mic.caf", 48000, [this] { server->kill(); });
            run = velmoractl(command + " --seconds 2 --dir '" + out.string() + "'");
        }
        ASSERT_EQ(run.status, 1) << run.output;
        const json result = lastLine(run.output);
        const auto mic = audiotest::readBack(out / "mic.caf");
        ASSERT_FALSE(mic.planes.empty());
        EXPECT_GT(mic.planes[0].size(), 8000u) << "what came before the kill is kept";

        if (command == "record-dual") {
            EXPECT_NE(result.at("lastError").get<std::string>().find("Connection terminated"), std::string::npos);
            EXPECT_EQ(audiotest::readBack(out / "system.caf").planes[0].size(), mic.planes[0].size());
            continue;
        }
        EXPECT_EQ(result.at("mic").at("frames"), mic.planes[0].size());
        EXPECT_EQ(result.at("mic").at("writeFailureCount"), 1);
        EXPECT_EQ(result.at("mic").at("lastError"),
                  "マイク headset_mic の録音が途中で止まりました: pa_stream failed \u2014 OSStatus 11 "
                  "(Connection terminated)");
        if (command == "record") {
            EXPECT_NE(run.output.find("★★★ SCStream didStopWithError: "), std::string::npos);
            EXPECT_TRUE(result.at("system").at("lastError").is_string());
            EXPECT_GT(audiotest::readBack(out / "system_capture.mp4").planes[0].size(), 4000u);
        }
    }
}

// The headset is unplugged (its source unloaded) while the call plays. With no other input, the server
// would move the microphone's stream onto the call's monitor; with the laptop's microphone left, onto
// that, which is right.
TEST_F(VelmoractlLostDeviceTest, AnUnpluggedMicrophoneIsFollowedToAnotherInputButNeverOntoTheCall) {
    ASSERT_NO_FATAL_FAILURE(startServer({{"module-null-sink sink_name=speakers", "module-sine sink=speakers frequency=440"},
                                         "speakers",
                                         "",
                                         {}}));
    // The server moves a stream that sits on the default source along when the default changes: the
    // sources are kept busy only once the headset is the default.
    const auto unpluggedWhileRecording = [this](const std::filesystem::path& out, const std::string& busySource) {
        const int headset = server->loadModule("module-null-source source_name=headset_mic");
        EXPECT_EQ(server->pactl("set-default-source headset_mic"), 0);
        EXPECT_TRUE(server->keepBusy(busySource));
        WhenRecorded unplug(out / "mic.caf", 65536,
                            [this, headset] { server->pactl("unload-module " + std::to_string(headset)); });
        return velmoractl("record --mic-only --mic headset_mic --seconds 2.5 --dir '" + out.string() + "'");
    };

    auto run = unpluggedWhileRecording(velmoractl.home / "alone", "speakers.monitor");
    EXPECT_EQ(run.status, 1) << run.output;
    const auto alone = audiotest::readBack(velmoractl.home / "alone" / "mic.caf");
    ASSERT_FALSE(alone.planes.empty());
    EXPECT_GT(alone.planes[0].size(), 4000u);
    for (const auto& plane : alone.planes) {
        EXPECT_LT(testsupport::measureSignal(plane).peak, 0.01) << "the call reached the microphone's track";
    }
    EXPECT_EQ(lastLine(run.output).at("mic").at("lastError"),
              "マイク headset_mic の録音が途中で止まりました: pa_stream failed \u2014 OSStatus 5 (No such entity)");

    // The laptop's microphone hears a 1000 Hz sine, in real time.
    for (const char* module : {"module-null-sink sink_name=laptop_feed", "module-sine sink=laptop_feed frequency=1000",
                               "module-remap-source source_name=laptop_mic master=laptop_feed.monitor channels=1"}) {
        ASSERT_GE(server->loadModule(module), 0) << module;
    }
    run = unpluggedWhileRecording(velmoractl.home / "laptop", "laptop_mic");
    EXPECT_EQ(run.status, 0) << run.output;
    const auto laptop = audiotest::readBack(velmoractl.home / "laptop" / "mic.caf");
    ASSERT_FALSE(laptop.planes.empty());
    // The server itself loses up to a second in a move off a null source, so only the going on is asked.
    const auto& plane = laptop.planes[0];
    const std::vector<float> tail(plane.end() - std::min<size_t>(plane.size(), 4000), plane.end());
    EXPECT_GT(testsupport::measureSignal(tail).peak, 0.1) << "the laptop's microphone was recorded";
    EXPECT_EQ(lastLine(run.output).at("mic").at("writeFailureCount"), 0);
}
