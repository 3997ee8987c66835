#include "OrvaneCore/Concurrency/WeakSendableWrapper.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"

#include <stdexcept>
#include <utility>

namespace sonavex {

AudioProcessor::AudioProcessor(std::shared_ptr<audio::CaptureSource> captureSource)
    : captureSource_(captureSource != nullptr ? std::move(captureSource) : soundServer()) {}

AudioProcessor::~AudioProcessor() {
    stopRecording();
}

std::shared_ptr<audio::CaptureStream> AudioProcessor::setupEngine(std::optional<uint32_t> inputDeviceID) {
    std::weak_ptr<AudioProcessor> processor = weak_from_this();
    if (processor.expired()) {
        throw std::logic_error("AudioProcessor: live capture needs a processor made with std::make_shared");
    }
    const int bufferLength = minBufferLength();
    if (bufferLength < 0) {
        throw std::invalid_argument("AudioProcessor: the buffer length must not be negative, not " +
                                    std::to_string(bufferLength));
    }
    std::optional<std::string> deviceName;
    if (inputDeviceID) {
        deviceName = assignAudioInput(*inputDeviceID);
    }
    // Asked of the server as the engine wants it, so buffers need no conversion here.
    audio::CaptureFormat format;
    format.sampleRate = static_cast<uint32_t>(targetSampleRate);
    format.channels = 1;
    format.blockFrames = bufferLength > 0 ? static_cast<uint32_t>(bufferLength) : defaultMinBufferLength;
    std::shared_ptr<audio::CaptureStream> engine =
        captureSource_->makeStream(deviceName, format, [processor](const std::vector<float>& block) {
            if (auto self = processor.lock()) {
                self->takeCapturedBlock(block);
            }
        });
    engine->start();
    return engine;
}

void AudioProcessor::takeCapturedBlock(const std::vector<float>& block) {
    // The server delivers 16 kHz mono already: nothing to convert.
    std::vector<float> samples = block;
    suppressInputIfNeeded(samples);
    processBuffer(samples);
}

void AudioProcessor::startRecordingLive(std::optional<uint32_t> inputDeviceID, BufferCallback callback) {
    {
        std::lock_guard guard(stateLock_);
        audioSamples_.clear();
        audioEnergy_.clear();
    }
    auto engine = setupEngine(inputDeviceID);
    std::shared_ptr<audio::CaptureStream> replaced;
    {
        std::lock_guard guard(controlLock_);
        replaced = std::exchange(audioEngine_, std::move(engine));
        lastInputDevice_ = inputDeviceID;
    }
    setAudioBufferCallback(std::move(callback));
    if (replaced != nullptr) {
        replaced->stop();
    }
}

std::pair<AudioBufferStream, AudioBufferStream::Continuation>
AudioProcessor::startStreamingRecordingLive(std::optional<uint32_t> inputDeviceID) {
    auto [stream, continuation] = AudioBufferStream::make();
    // The stream must not keep the processor alive.
    auto processor = std::make_shared<orvane::WeakSendableWrapper<AudioProcessor>>(weak_from_this().lock());
    continuation.setOnTermination([processor] {
        if (auto self = processor->value()) {
            self->setAudioBufferCallback({});
            self->stopRecording();
        }
    });
    try {
        // Captured by copy through an initializer: clang 14 cannot capture a structured binding.
        startRecordingLive(inputDeviceID, [continuation = continuation](const std::vector<float>& buffer) {
            continuation.yield(buffer);
        });
    } catch (...) {
        continuation.finish(std::current_exception());
    }
    return {std::move(stream), std::move(continuation)};
}

void AudioProcessor::pauseRecording() {
    std::shared_ptr<audio::CaptureStream> engine;
    {
        std::lock_guard guard(controlLock_);
        engine = audioEngine_;
    }
    if (engine != nullptr) {
        engine->pause();
    }
}

void AudioProcessor::resumeRecordingLive(std::optional<uint32_t> inputDeviceID, BufferCallback callback) {
    std::optional<uint32_t> lastDevice;
    std::shared_ptr<audio::CaptureStream> engine;
    {
        std::lock_guard guard(controlLock_);
        lastDevice = lastInputDevice_;
        engine = audioEngine_;
    }
    const bool needsNewEngine = inputDeviceID ? lastDevice != inputDeviceID : lastDevice.has_value();
    if (needsNewEngine) {
        auto newEngine = setupEngine(inputDeviceID);
        std::shared_ptr<audio::CaptureStream> replaced;
        {
            std::lock_guard guard(controlLock_);
            replaced = std::exchange(audioEngine_, std::move(newEngine));
        }
        if (replaced != nullptr) {
            replaced->stop();
        }
    } else if (engine != nullptr) {
        engine->start();
    }
    if (callback) {
        setAudioBufferCallback(std::move(callback));
    }
}

void AudioProcessor::stopRecording() {
    std::shared_ptr<audio::CaptureStream> engine;
    {
        std::lock_guard guard(controlLock_);
        engine = std::exchange(audioEngine_, nullptr);
    }
    if (engine != nullptr) {
        engine->stop();
    }
}

} // namespace sonavex
