#pragma once
// The recording session on fakes, a manual-clock main loop and a home folder of its own, started at
// 09:05:07 on 4 March 2025 in Tokyo.

#include "SessionFakes.h"

#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "VelmoraCore/Recording/RecordingSession.h"
#include "VelmoraCore/Settings/AppSettings.h"

#include <gtest/gtest.h>

namespace sessiontest {

using namespace std::chrono_literals;
using velmora::RecordingSession;
using Phase = velmora::RecordingPhase;

// 09:05:07 on 4 March 2025 in Tokyo.
inline const auto recordingStart = std::chrono::sys_days{std::chrono::year(2025) / 3 / 4} + 5min + 7s;

class RecordingSessionTest : public ::testing::Test {
protected:
    RecordingSessionTest() {
        environment.set("HOME", home.path().string());
        environment.unset("XDG_CONFIG_HOME");
        environment.set("TZ", "Asia/Tokyo");
        settings = std::make_unique<velmora::AppSettings>(std::make_shared<velmora::DefaultsStore>());
        session = std::make_unique<RecordingSession>(*settings, loop, world.collaborators());
    }

    void settle() { ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return !session->isChangingRecorders(); })); }
    void startRecording() {
        session->start();
        settle();
    }
    void stopRecording() {
        session->stop();
        settle();
    }
    void waitForJobs() {
        ASSERT_TRUE(sessiontest::runUntil(loop, [this] { return session->pendingTranscriptions().value() == 0; }));
    }
    std::filesystem::path folder(const std::string& name = "2025-03-04_090507") const {
        return settings->saveDirectory() / name;
    }

    testsupport::TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    velmora::PlainMainLoop loop{velmora::PlainMainLoop::Clock::manual};
    sessiontest::FakeWorld world{recordingStart};
    std::unique_ptr<velmora::AppSettings> settings;
    std::unique_ptr<RecordingSession> session;
};

inline const std::string lowSpace = "空き容量が不足しています（10GB未満）。録音を開始できません。";


} // namespace sessiontest
