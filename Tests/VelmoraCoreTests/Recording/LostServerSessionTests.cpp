// The recording session with the real recorders on a sound server of the test's own, which is killed in
// the middle of a recording and then started again.

#include "SessionFakes.h"

#include "Platform/Audio/Files/AudioFileReader.h"
#include "Support/Audio/DisposablePulseServer.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/PlainMainLoop.h"
#include "VelmoraCore/Recording/RecordingSession.h"
#include "VelmoraCore/Settings/AppSettings.h"

#include <gtest/gtest.h>

namespace {

using Phase = velmora::RecordingPhase;
using namespace std::chrono_literals;

// Runs the loop on the real clock (so the session's meter ticks) until `done` holds; false when it
// still does not after a long while (a hang, never a measure of speed).
bool runUntil(velmora::PlainMainLoop& loop, const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + 30s;
    bool met = false;
    auto check = loop.scheduleRepeating(10ms, [&] {
        met = done();
        if (met || std::chrono::steady_clock::now() > limit) {
            loop.quit();
        }
    });
    loop.run();
    return met;
}

class LostServerSessionTest : public testsupport::DisposablePulseServerTest {
protected:
    void SetUp() override {
        DisposablePulseServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        environment.set("HOME", home.path().string());
        environment.unset("XDG_CONFIG_HOME");
        // The display-sleep inhibition is not what is tested here.
        environment.unset("DBUS_SESSION_BUS_ADDRESS");
        ASSERT_NO_FATAL_FAILURE(startServer(testsupport::aCallWithAHeadset()));
        auto collaborators = velmora::SessionCollaborators::standard(transcription);
        collaborators.availableBytes = [](const std::filesystem::path&) { return std::nullopt; };
        settings = std::make_unique<velmora::AppSettings>(std::make_shared<velmora::DefaultsStore>());
        session = std::make_unique<velmora::RecordingSession>(*settings, loop, collaborators);
    }

    std::vector<std::filesystem::path> folders() const {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(settings->saveDirectory())) {
            found.push_back(entry.path());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    velmora::PlainMainLoop loop;
    std::shared_ptr<sessiontest::FakeTranscription> transcription = std::make_shared<sessiontest::FakeTranscription>();
    std::unique_ptr<velmora::AppSettings> settings;
    std::unique_ptr<velmora::RecordingSession> session;
};

} // namespace

TEST_F(LostServerSessionTest, ARecordingWhoseServerIsKilledStopsFailedKeepingBothTracksAndTheNextOneRecords) {
    session->start();
    ASSERT_TRUE(runUntil(loop, [&] { return session->phase().value().isRecording(); }));
    ASSERT_TRUE(runUntil(loop, [&] { return session->micLevel().value() > 0.1f; }));
    ASSERT_TRUE(runUntil(loop, [&] {
        std::error_code error;
        return std::filesystem::file_size(folders().at(0) / "mic.caf", error) > 100'000 && !error;
    })) << "half a second of the headset at 44.1 kHz";

    server->kill();
    ASSERT_TRUE(runUntil(loop, [&] { return !session->phase().value().isRecording() && !session->isChangingRecorders(); }))
        << "the recording goes on with its server gone";
    const Phase failed = session->phase().value();
    ASSERT_EQ(failed.kind, Phase::Case::failed);
    EXPECT_EQ(failed.message.rfind("マイクの書き込みに1回失敗しました。", 0), 0u) << failed.message;
    EXPECT_NE(failed.message.find("マイク headset_mic の録音が途中で止まりました"), std::string::npos) << failed.message;
    EXPECT_EQ(session->pendingTranscriptions().value(), 0) << "a failed recording is not post-processed";

    const auto first = folders();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(sessiontest::folderContents(first[0]), (std::vector<std::string>{"mic.caf", "system_capture.mp4"}));
    EXPECT_GT(audio::AudioFileReader(first[0] / "mic.caf").length(), 22050) << "half a second at 44.1 kHz";
    EXPECT_GT(audio::AudioFileReader(first[0] / "system_capture.mp4").length(), 24000) << "half a second at 48 kHz";

    // The server is back: the next recording in the same process records, on a new connection.
    ASSERT_TRUE(server->start());
    session->reset();
    session->start();
    ASSERT_TRUE(runUntil(loop, [&] { return session->phase().value().isRecording(); }))
        << session->phase().value().message;
    ASSERT_TRUE(runUntil(loop, [&] { return session->micLevel().value() > 0.1f; }));
    session->stop();
    ASSERT_TRUE(runUntil(loop, [&] { return !session->isChangingRecorders(); }));
    EXPECT_EQ(session->phase().value(), Phase::idle());
    ASSERT_TRUE(runUntil(loop, [&] { return session->pendingTranscriptions().value() == 0; }));
    EXPECT_EQ(session->transcriptionError().value(), std::nullopt);
    const auto both = folders();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(both[1] / "recording.m4a"));
}
