#include "VelmoraCore/AudioCapture/TwoTrack/DualTrackRecorder.h"

#include "OrvaneCore/System/Uuid.h"
#include "VelmoraCore/AudioCapture/Devices/AudioHardware.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/TwoTrack/AggregateDescription.h"
#include "VelmoraCore/AudioCapture/TwoTrack/TrackExtraction.h"

#include <pulse/def.h>

namespace velmora {

namespace {

// The sound server has no "device 0": a missing default is a failed read of the server's defaults.
bool isMissingDefault(const CAError& error) {
    return error.kind() == CAError::Kind::status && error.operation() == "pa_context_get_server_info" &&
           error.statusCode() == PA_ERR_NOENTITY;
}

template <typename Read> AudioDeviceID defaultDevice(Read read, const char* missingText) {
    try {
        return read();
    } catch (const CAError& error) {
        if (isMissingDefault(error)) {
            throw CAError::message(missingText);
        }
        throw;
    }
}

template <typename Read> auto readOr(Read read, decltype(read()) fallback) {
    try {
        return read();
    } catch (const std::exception&) {
        return fallback;
    }
}

} // namespace

std::string DualTrackRecorder::tapFailureText(int32_t status) {
    return "AudioHardwareCreateProcessTap に失敗 — OSStatus " + std::to_string(status) +
           "。\n「システム音声の録音」権限が未許可の可能性が高い。\n"
           "サウンド設定を確認すること。\n"
           "（ターミナルから実行している場合、許可対象はターミナル.app 側になる）";
}

DualTrackRecorder::DualTrackRecorder(AudioSystem& system, TapHardware& hardware,
                                     CaptureFileWriterFactory makeFile)
    : system_(system), hardware_(hardware), makeFile_(std::move(makeFile)) {
    outputDevice_ =
        defaultDevice([&] { return defaultOutputDevice(system_); }, "デフォルト出力デバイスが見つからない");
    micDevice_ = defaultDevice([&] { return defaultInputDevice(system_); },
                               "デフォルト入力デバイス（マイク）が見つからない");

    outputDeviceName_ = readOr([&] { return deviceName(outputDevice_, system_); }, std::string("?"));
    outputDeviceTransport_ =
        transportTypeDescription(readOr([&] { return deviceTransportType(outputDevice_, system_); }, 0u));
    micDeviceName_ = readOr([&] { return deviceName(micDevice_, system_); }, std::string("?"));

    // A throw from here on destroys the members made so far: the device first, then the tap.
    createTap();
    createAggregate();
    resolveLayout();
}

DualTrackRecorder::~DualTrackRecorder() {
    stop();
    aggregate_.reset();
    tap_.reset();
}

void DualTrackRecorder::createTap() {
    TapDescription description;
    description.name = "Velmora System Tap";
    description.uuid = orvane::Uuid().uuidString();
    description.isPrivate = true;
    description.muteBehavior = 0;
    try {
        tap_ = hardware_.createProcessTap(description);
    } catch (const CAError& error) {
        if (error.kind() != CAError::Kind::status) {
            throw;
        }
        throw CAError::message(tapFailureText(error.statusCode()));
    }
    tapUID_ = readOr([&] { return tap_->uid(); }, description.uuid);
}

void DualTrackRecorder::createAggregate() {
    const std::string outputUID = deviceUID(outputDevice_, system_);
    const std::string inputUID = deviceUID(micDevice_, system_);
    aggregate_ = hardware_.createAggregateDevice(
        makeAggregateDescription(outputUID, inputUID, tapUID_, orvane::Uuid().uuidString()));
}

void DualTrackRecorder::resolveLayout() {
    const int aggregateChannels = aggregate_->inputChannelCount();
    const int outputInputs = readOr([&] { return inputChannelCount(outputDevice_, system_); }, 0);
    const int micInputs = readOr([&] { return inputChannelCount(micDevice_, system_); }, 0);
    const TapFormat format = tap_->format();
    const double aggregateRate = readOr([&] { return aggregate_->nominalSampleRate(); }, 0.0);
    layout_ = velmora::resolveLayout(aggregateChannels, outputInputs, micInputs, format.channels,
                                     aggregateRate, format.sampleRate);
}

void DualTrackRecorder::start(const std::filesystem::path& micURL, const std::filesystem::path& systemURL) {
    if (!layout_) {
        throw CAError::message("layout 未解決");
    }
    // A second start would otherwise swap the files under a device that is still writing them.
    stop();
    micFile_ = makeFile_(micURL, layout_->sampleRate, 1);
    systemFile_ = makeFile_(systemURL, layout_->sampleRate, layout_->systemChannels.count());
    deviceStarted_ = true;
    aggregate_->start([this](InputBufferList buffers) { handleInput(buffers); });
}

void DualTrackRecorder::stop() {
    if (deviceStarted_) {
        aggregate_->stop();
        deviceStarted_ = false;
    }
    // No delivery is handled any more: the files and the copies are this thread's now.
    for (auto* file : {&micFile_, &systemFile_}) {
        if (*file != nullptr) {
            try {
                (*file)->close();
            } catch (const std::exception&) {
                // What was written stays readable to its last whole frame.
            }
            file->reset();
        }
    }
    scratch_.release();
}

DualTrackRecorder::Levels DualTrackRecorder::levels() const {
    std::lock_guard guard(levelsLock_);
    return currentLevels_;
}

bool DualTrackRecorder::isRunning() const {
    return aggregate_ != nullptr && aggregate_->isRunning();
}

std::exception_ptr DualTrackRecorder::streamError() const {
    return aggregate_ != nullptr ? aggregate_->endError() : nullptr;
}

void DualTrackRecorder::handleInput(InputBufferList buffers) {
    ++ioProcCalls_;
    if (!layout_ || micFile_ == nullptr || systemFile_ == nullptr) {
        return;
    }
    const std::optional<int64_t> counted = frameCount(buffers);
    if (!counted || *counted < 1) {
        ++emptyInputCalls_;
        return;
    }
    const int64_t frames = *counted;
    const int systemChannels = layout_->systemChannels.count();
    if (!scratch_.ensure(frames, systemChannels)) {
        return;
    }
    float* mic = scratch_.mic();
    float* systemSamples = scratch_.system();
    // Only the microphone's first channel is recorded.
    extract(layout_->micChannels.lowerBound, buffers, frames, mic);
    systemPlanes_.resize(size_t(systemChannels));
    for (int i = 0; i < systemChannels; ++i) {
        float* plane = systemSamples + int64_t(i) * frames;
        extract(layout_->systemChannels.lowerBound + i, buffers, frames, plane);
        systemPlanes_[size_t(i)] = plane;
    }

    const float micLevel = rmsLevel(mic, frames);
    const float systemLevel = rmsLevel(systemSamples, frames * systemChannels);
    {
        std::lock_guard guard(levelsLock_);
        currentLevels_ = Levels{micLevel, systemLevel};
    }

    try {
        const float* micPlanes[] = {mic};
        micFile_->write(micPlanes, frames);
        systemFile_->write(systemPlanes_.data(), frames);
    } catch (...) {
        ++writeFailures_;
        return;
    }
    framesWritten_ += frames;
}

} // namespace velmora
