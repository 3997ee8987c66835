#pragma once
// The settings form, in this order: the save folder (shown only), the speech model, the voice-activity
// threshold, the update check, the account (only while signed in, and never in a build without a
// sign-in) and the application's restart and quit. Every change goes straight into the settings, which store it; there is no apply step. The form
// follows the settings and the sign-in as they change. Main thread only.

#include "Velmora/Lifecycle/AppLifecycle.h"
#include "VelmoraCore/Auth/AuthSession.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Updates/Updater.h"

#include <QWidget>
#include <array>
#include <functional>
#include <string>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;

namespace velmora::app {

class CheckForUpdatesView;
class ElidedLabel;

class SettingsView final : public QWidget {
public:
    struct ModelChoice {
        const char* label;
        const char* modelName;
    };
    static constexpr std::array<ModelChoice, 2> modelChoices{{
        {"large-v3-turbo 量子化（632MB・推奨）", "large-v3-v20240930_turbo_632MB"},
        {"large-v3-turbo フル（約1.5GB・精度優先）", "large-v3-v20240930_turbo"},
    }};

    static constexpr int width = 480;
    static constexpr int padding = 20;
    static constexpr float lowestThreshold = 0.005f;
    static constexpr float highestThreshold = 0.1f;
    /// The slider moves in this many fine steps from the lowest to the highest threshold.
    static constexpr int thresholdSteps = 9500;

    /// The threshold at a slider position (0…thresholdSteps), and the position nearest a threshold
    /// (a stored value outside the range sits at its end).
    static float thresholdAt(int position);
    static int positionOf(float threshold);
    /// "閾値: 0.020（低いほど…）".
    static std::string thresholdCaption(float threshold);

    /// Everything must outlive the view; `quit` ends the application.
    SettingsView(AppSettings& settings, Updater& updater, AuthSession& authSession, AppLifecycle& lifecycle,
                 std::function<void()> quit, QWidget* parent = nullptr);
    ~SettingsView() override;

    // The parts the tests press and read.
    QList<QGroupBox*> visibleSections() const;
    ElidedLabel* saveFolder() const { return saveFolder_; }
    QRadioButton* modelButton(std::size_t index) const;
    QSlider* thresholdSlider() const { return slider_; }
    QLabel* thresholdText() const { return thresholdText_; }
    CheckForUpdatesView* updateCheck() const { return updateCheck_; }
    QPushButton* signOutButton() const { return signOut_; }
    QPushButton* restartButton() const { return restart_; }
    QPushButton* quitButton() const { return quit_; }

private:
    QGroupBox* section(const char* title);
    void showModelName(const std::string& name);
    void showThreshold(float threshold);
    void showSignedIn(bool signedIn);

    AppSettings& settings_;
    AuthSession& authSession_;

    ElidedLabel* saveFolder_;
    QButtonGroup* models_;
    QSlider* slider_;
    QLabel* thresholdText_;
    CheckForUpdatesView* updateCheck_;
    QGroupBox* account_;
    QPushButton* signOut_;
    QPushButton* restart_;
    QPushButton* quit_;
    /// Set while the form shows a stored value, so showing it does not store it again.
    bool showing_ = false;

    Observable<std::string>::SubscriptionId modelSubscription_;
    Observable<float>::SubscriptionId thresholdSubscription_;
    Observable<bool>::SubscriptionId signedInSubscription_;
};

} // namespace velmora::app
