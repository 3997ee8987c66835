#include "Velmora/Panel/PanelModel.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "Velmora/Label/MenuBarLabel.h"
#include "Velmora/Panel/PanelTexts.h"
#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/ErrorText.h"

#include <algorithm>
#include <cmath>

namespace velmora::app {

PanelModel::PanelModel(Dependencies dependencies) : deps_(dependencies) {
    readPermissions();
    const unsigned controls = controlsPart;
    watch(deps_.recording.phase(), controls | meterPart);
    watch(deps_.recording.elapsedSeconds(), meterPart);
    watch(deps_.recording.micLevel(), meterPart);
    watch(deps_.recording.transcriptText(), transcriptPart);
    watch(deps_.recording.transcriptProgress(), controls);
    watch(deps_.recording.pendingTranscriptions(), controls);
    watch(deps_.recording.transcriptionError(), controls);
    watch(deps_.recording.currentDeviceInfo(), devicePart);
    watch(deps_.access.setupPhase(), gatePart | setupPart);
    watch(deps_.updates.pendingUpdate(), updatePart);
    watch(deps_.settings.preferredInputDeviceUID(), devicePart);

    // Signing in (not the value found at start) starts the model set-up; signing out starts nothing.
    auto signedIn = std::make_shared<bool>(deps_.access.isSignedIn().value());
    const auto id = deps_.access.isSignedIn().subscribe([this, signedIn](bool now) {
        const bool was = std::exchange(*signedIn, now);
        if (now && !was) {
            deps_.access.startSetupIfNeeded();
        }
        changed(gatePart | signInPart);
    });
    unsubscribe_.push_back([this, id] { deps_.access.isSignedIn().unsubscribe(id); });
}

PanelModel::~PanelModel() {
    *alive_ = false;
    for (auto& stop : unsubscribe_) {
        stop();
    }
}

template <class T> void PanelModel::watch(const Observable<T>& property, unsigned parts) {
    const auto id = property.subscribe([this, parts](const T&) { changed(parts); });
    unsubscribe_.push_back([&property, id] { property.unsubscribe(id); });
}

void PanelModel::changed(unsigned parts) {
    if (onChange) {
        onChange(parts);
    }
}

// Decisions.

PanelModel::DeviceWarnings PanelModel::deviceWarnings(const DeviceInfo& info) {
    DeviceWarnings warnings;
    warnings.builtInSpeaker = info.outputIsBuiltInSpeaker;
    if (info.inputWasRedirectedFromBluetooth) {
        warnings.note = DeviceWarnings::Note::bluetoothRedirect;
    } else if (info.inputSampleRateIsLow) {
        warnings.note = DeviceWarnings::Note::lowQualityMic;
    }
    return warnings;
}

PanelModel::SetupRows PanelModel::setupRows(const ModelSetupPhase& phase) {
    using Indicator = SetupRows::Indicator;
    SetupRows rows;
    switch (phase.kind) {
    case ModelSetupPhase::Kind::notStarted:
        rows.indicator = Indicator::spinner;
        rows.caption = texts::setupPreparing;
        break;
    case ModelSetupPhase::Kind::downloading:
        rows.indicator = Indicator::bar;
        rows.barValue = std::isfinite(phase.fraction) ? std::clamp(phase.fraction, 0.0, 1.0) : 0.0;
        rows.caption = texts::setupDownloading;
        rows.detail = texts::downloadPercent(phase.fraction);
        break;
    case ModelSetupPhase::Kind::optimizing:
        rows.indicator = Indicator::spinner;
        rows.caption = texts::setupOptimizing;
        rows.detail = texts::setupOptimizingNote;
        break;
    case ModelSetupPhase::Kind::ready:
        break;
    case ModelSetupPhase::Kind::failed:
        rows.indicator = Indicator::failure;
        rows.caption = texts::setupFailed;
        rows.detail = phase.text;
        rows.retryButton = true;
        break;
    }
    return rows;
}

double PanelModel::meterFraction(float level) {
    const float scaled = level * 3.0f;
    if (!(scaled > 0.0f)) {
        return 0.0;
    }
    return static_cast<double>(std::min(scaled, 1.0f));
}

PanelModel::Gate PanelModel::gate() const {
    if (micPermission_ != PermissionStatus::granted || screenPermission_ != PermissionStatus::granted) {
        return Gate::permissions;
    }
    if (!isSignedInOrNeedNot()) {
        return Gate::signIn;
    }
    if (!(deps_.access.setupPhase().value() == ModelSetupPhase::ready())) {
        return Gate::modelSetup;
    }
    return Gate::recording;
}

std::string PanelModel::micSelection() const {
    return deps_.settings.preferredInputDeviceUID().value().value_or("");
}

std::string PanelModel::updateBannerText() const {
    const auto& update = deps_.updates.pendingUpdate().value();
    return update ? texts::updateAvailable(update->displayVersionString()) : std::string();
}

PanelModel::DeviceWarnings PanelModel::currentDeviceWarnings() const {
    return deviceWarnings(deps_.recording.currentDeviceInfo().value());
}

std::string PanelModel::micInUseText() const {
    if (deps_.settings.preferredInputDeviceUID().value()) {
        return {};
    }
    return texts::micInUse(deps_.recording.currentDeviceInfo().value().inputName);
}

std::string PanelModel::recordButtonTitle() const {
    return deps_.recording.phase().value().isRecording() ? texts::stopRecording : texts::startRecording;
}

std::string PanelModel::elapsedText() const {
    if (!deps_.recording.phase().value().isRecording()) {
        return {};
    }
    return formattedElapsed(deps_.recording.elapsedSeconds().value()).toStdString();
}

std::string PanelModel::transcriptionStatusText() const {
    const int pending = deps_.recording.pendingTranscriptions().value();
    if (pending < 1) {
        return {};
    }
    return texts::transcriptionStatusText(deps_.recording.transcriptProgress().value(), pending);
}

std::string PanelModel::recordingFailureText() const {
    const auto& phase = deps_.recording.phase().value();
    return phase.kind == RecordingPhase::Case::failed ? phase.message : std::string();
}

// Actions.

void PanelModel::appear() {
    readPermissions();
    refreshDevices();
    if (isSignedInOrNeedNot()) {
        deps_.access.startSetupIfNeeded();
    }
    changed(gatePart | permissionPart | devicePart);
}

bool PanelModel::isSignedInOrNeedNot() const {
    return !deps_.access.signInExists() || deps_.access.isSignedIn().value();
}

void PanelModel::readPermissions() {
    micPermission_ = deps_.permissions.microphoneStatus();
    screenPermission_ = deps_.permissions.screenRecordingStatus();
}

std::string PanelModel::defaultOutputUID() const {
    try {
        return deviceUID(velmora::defaultOutputDevice(deps_.audio), deps_.audio);
    } catch (const std::exception&) {
        return {};
    }
}

void PanelModel::refreshDevices() {
    inputDevices_ = inputDeviceOptions(deps_.audio);
    outputDevices_ = outputDeviceOptions(deps_.audio);
    selectedOutputUID_ = defaultOutputUID();
    deps_.recording.refreshDeviceInfo();
}

void PanelModel::selectTab(Tab tab) {
    if (tab != selectedTab_) {
        selectedTab_ = tab;
        changed(tabPart);
    }
}

void PanelModel::openSettings() {
    deps_.shell.bringToFront();
    deps_.shell.openSettings();
}

void PanelModel::installUpdate() {
    deps_.shell.bringToFront();
    deps_.shell.checkForUpdates();
}

void PanelModel::grantMicrophone() {
    deps_.shell.bringToFront();
    if (micPermission_ == PermissionStatus::notDetermined) {
        // The sound server answers at once, so the request needs no task of its own.
        deps_.permissions.requestMicrophoneAccess();
        readPermissions();
        changed(gatePart | permissionPart);
    } else {
        deps_.permissions.openSystemSettingsForMicrophone();
    }
}

void PanelModel::grantSystemAudio() {
    deps_.shell.bringToFront();
    deps_.permissions.requestScreenRecordingAccess();
    deps_.permissions.openSystemSettingsForScreenRecording();
}

void PanelModel::recheckPermissions() {
    readPermissions();
    changed(gatePart | permissionPart);
}

void PanelModel::signIn() {
    isSigningIn_ = true;
    signInError_.reset();
    changed(signInPart);
    deps_.access.signIn([this, alive = alive_](std::exception_ptr error) {
        if (!*alive) {
            return;
        }
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const orvane::CancellationError&) {
                // A cancelled wait is not the user's failure: nothing to show.
            } catch (...) {
                signInError_ = errorDescription(error);
            }
        }
        isSigningIn_ = false;
        changed(signInPart);
    });
}

void PanelModel::retrySetup() {
    deps_.access.retrySetup();
}

void PanelModel::selectMicrophone(const std::string& uid) {
    deps_.settings.setPreferredInputDeviceUID(uid.empty() ? std::nullopt : std::optional<std::string>(uid));
    deps_.recording.refreshDeviceInfo();
}

void PanelModel::selectOutput(const std::string& uid) {
    if (uid.empty()) {
        return;
    }
    const auto device = deviceWithUID(uid, deps_.audio);
    if (!device) {
        return;
    }
    try {
        setDefaultOutputDevice(*device, deps_.audio);
    } catch (const std::exception&) {
    }
    // Read back rather than assumed: a refused switch must not show an output that is not in use.
    selectedOutputUID_ = defaultOutputUID();
    deps_.recording.refreshDeviceInfo();
    changed(devicePart);
}

void PanelModel::toggleRecording() {
    deps_.recording.toggleRecording();
}

void PanelModel::cancelTranscription() {
    deps_.recording.cancelTranscription();
}

void PanelModel::copyTranscript() {
    deps_.shell.copyText(deps_.recording.transcriptText().value());
}

void PanelModel::openSaveFolder() {
    deps_.shell.openFolder(deps_.settings.saveDirectory());
}

} // namespace velmora::app
