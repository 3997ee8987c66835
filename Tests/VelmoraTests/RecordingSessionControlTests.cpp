#include "ShellTestSupport.h"
#include "Support/ScopedEnvironment.h"
#include "Support/TestSupport.h"
#include "Velmora/Application/QtMainThreadDispatcher.h"
#include "Velmora/Label/TrayLabel.h"
#include "Velmora/Recording/RecordToggle.h"
#include "Velmora/Recording/RecordingSessionControl.h"
#include "VelmoraCore/Settings/AppSettings.h"

#include <QSystemTrayIcon>
#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::app;
using testsupport::TemporaryDirectory;

namespace {

class SilentMicrophone final : public RecordingMicrophone {
public:
    void setPreferredDeviceUID(std::optional<std::string>) override {}
    void start(const std::filesystem::path& file) override { testsupport::writeFile(file, ""); }
    void stop() override {}
    float level() const override { return 0; }
    std::int64_t writeFailureCount() const override { return 0; }
    std::exception_ptr lastWriteError() const override { return nullptr; }
    bool inputEnded() const override { return false; }
};

class SilentSystemAudio final : public RecordingSystemAudio {
public:
    void start(const std::filesystem::path& file) override { testsupport::writeFile(file, ""); }
    void stop() override {}
};

class NoModel final : public SessionTranscription {
public:
    bool isLoaded(const std::string&) const override { return false; }
    std::shared_ptr<TrackTranscriber> transcriber(const std::string&, std::stop_token) override {
        throw std::runtime_error("no model here");
    }
};

} // namespace

// The core's session behind the shell's interface: the toggle starts and stops it, the label follows
// its phase, elapsed time and queued job.
TEST(RecordingSessionControl, TheToggleDrivesTheSessionAndTheLabelFollowsIt) {
    TemporaryDirectory home;
    testsupport::ScopedEnvironment environment;
    environment.set("HOME", home.path().string());
    environment.unset("XDG_CONFIG_HOME");
    QtMainThreadDispatcher mainThread;
    AppSettings settings(std::make_shared<DefaultsStore>());
    SessionCollaborators collaborators;
    collaborators.now = [] { return std::chrono::system_clock::now(); };
    collaborators.availableBytes = [](const auto&) { return std::optional<std::int64_t>(1'000'000'000'000); };
    collaborators.deviceInfo = [](const auto&) { return DeviceInfo{}; };
    collaborators.makeMicrophone = [] { return std::make_unique<SilentMicrophone>(); };
    collaborators.makeSystemAudio = [] { return std::make_unique<SilentSystemAudio>(); };
    collaborators.convertToM4A = [](const auto& from, const auto& to, std::stop_token) {
        std::filesystem::copy_file(from, to);
    };
    collaborators.mix = [](const auto&, const auto&, const auto&, std::stop_token) {};
    collaborators.transcription = std::make_shared<NoModel>();
    auto control = std::make_shared<RecordingSessionControl>(
        std::make_unique<RecordingSession>(settings, mainThread, collaborators));

    QSystemTrayIcon trayIcon;
    UpdateAvailabilityStore updates;
    bool sawPendingBadge = false;
    {
        TrayLabel label(trayIcon, control, updates);
        auto watch = control->observe([&] { sawPendingBadge = sawPendingBadge || label.state().hasPendingTranscriptions; });

        applyRecordToggle(*control);
        ASSERT_TRUE(shelltest::processEventsUntil([&] { return control->phase() == RecordingControl::Phase::recording; }));
        EXPECT_EQ(trayIcon.toolTip(), "00:00");

        applyRecordToggle(*control);
        ASSERT_TRUE(shelltest::processEventsUntil([&] {
            return control->phase() == RecordingControl::Phase::idle && sawPendingBadge &&
                   control->pendingTranscriptions() == 0;
        }));
        EXPECT_EQ(trayIcon.toolTip(), "ベルモラ");
        EXPECT_FALSE(label.state().hasPendingTranscriptions);
    }
    EXPECT_EQ(control->session().phase().subscriberCount(), 0u);
    EXPECT_EQ(control->session().elapsedSeconds().subscriberCount(), 0u);
    EXPECT_EQ(control->session().pendingTranscriptions().subscriberCount(), 0u);
}
