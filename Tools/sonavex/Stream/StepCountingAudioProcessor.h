#pragma once
// An audio stage that forwards everything to another and counts the reads of all recorded samples.
// The streaming transcriber reads them once at the start of every step, so a read tells that the step
// before it, with its pass, is over.

#include "Sonavex/Core/Audio/AudioProcessing.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace sonavex::tool {

class StepCountingAudioProcessor : public AudioProcessing {
public:
    explicit StepCountingAudioProcessor(std::shared_ptr<AudioProcessing> inner) : inner_(std::move(inner)) {}

    /// Counted before the read, so a read counted after a moment sees every sample recorded by then.
    std::vector<float> audioSamples() const override {
        ++reads_;
        return inner_->audioSamples();
    }
    /// The number of sample reads begun so far.
    int64_t reads() const { return reads_; }

    void purgeAudioSamples(int64_t keepingLast) override { inner_->purgeAudioSamples(keepingLast); }
    std::vector<float> relativeEnergy() const override { return inner_->relativeEnergy(); }
    int relativeEnergyWindow() const override { return inner_->relativeEnergyWindow(); }
    void setRelativeEnergyWindow(int window) override { inner_->setRelativeEnergyWindow(window); }
    void startRecordingLive(std::optional<uint32_t> inputDeviceID, BufferCallback callback) override {
        inner_->startRecordingLive(inputDeviceID, std::move(callback));
    }
    std::pair<AudioBufferStream, AudioBufferStream::Continuation>
    startStreamingRecordingLive(std::optional<uint32_t> inputDeviceID) override {
        return inner_->startStreamingRecordingLive(inputDeviceID);
    }
    void pauseRecording() override { inner_->pauseRecording(); }
    void stopRecording() override { inner_->stopRecording(); }
    void resumeRecordingLive(std::optional<uint32_t> inputDeviceID, BufferCallback callback) override {
        inner_->resumeRecordingLive(inputDeviceID, std::move(callback));
    }
    std::shared_ptr<AudioProcessorOutputType> padOrTrim(const std::vector<float>& fromArray, int startAt,
                                                        int toLength) override {
        return inner_->padOrTrim(fromArray, startAt, toLength);
    }

private:
    std::shared_ptr<AudioProcessing> inner_;
    mutable std::atomic<int64_t> reads_ = 0;
};

} // namespace sonavex::tool
