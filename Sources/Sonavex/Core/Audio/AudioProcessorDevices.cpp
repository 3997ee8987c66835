#include "Platform/Audio/Pulse/PulseCaptureSource.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Logging/Logging.h"

namespace sonavex {

namespace {

// The sound server's number for "No such entity", reported for a device it does not list.
constexpr int noSuchDeviceStatus = 5;

} // namespace

std::shared_ptr<audio::CaptureSource> AudioProcessor::soundServer() {
    static const std::shared_ptr<audio::CaptureSource> source = std::make_shared<audio::PulseCaptureSource>();
    return source;
}

bool AudioProcessor::requestRecordPermission(audio::CaptureSource& source) {
    if (source.canRecord()) {
        return true;
    }
    Logging::error("Microphone access denied");
    return false;
}

std::vector<AudioDevice> AudioProcessor::getAudioDevices(audio::CaptureSource& source) {
    std::vector<audio::InputDevice> inputs;
    try {
        inputs = source.inputDevices();
    } catch (const std::exception&) {
        Logging::error("Error: Unable to get the number of audio devices.");
        return {};
    }
    std::vector<AudioDevice> devices;
    devices.reserve(inputs.size());
    for (const auto& input : inputs) {
        devices.push_back(AudioDevice{input.id, input.description});
    }
    return devices;
}

std::optional<std::string> AudioProcessor::assignAudioInput(uint32_t inputDeviceID) {
    int status = noSuchDeviceStatus;
    try {
        for (const auto& input : captureSource_->inputDevices()) {
            if (input.id == inputDeviceID) {
                Logging::info("Successfully set input device.");
                return input.name;
            }
        }
    } catch (const audio::PulseError& error) {
        status = error.code();
    } catch (const std::exception&) {
        status = -1;
    }
    Logging::error("Error setting Audio Unit property: " + std::to_string(status));
    return std::nullopt;
}

} // namespace sonavex
