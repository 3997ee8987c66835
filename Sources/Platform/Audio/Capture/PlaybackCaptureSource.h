#pragma once
// A capture source that plays samples instead of recording: every capture made from it delivers the
// same 16 kHz mono samples in blocks, one block per block length of audio at the chosen speed (1 is
// real time, 10 ten times faster). Used to feed live transcription from a file.

#include "Platform/Audio/Capture/CaptureSource.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace audio {

class PlaybackCaptureSource : public CaptureSource {
public:
    static constexpr uint32_t sampleRate = 16000;

    /// Throws std::invalid_argument for a speed that is not finite and positive.
    PlaybackCaptureSource(std::vector<float> samples, double speed = 1.0);

    /// One device, id 0, named "playback".
    std::vector<InputDevice> inputDevices() override;
    bool canRecord() override { return true; }
    /// Any device name plays the same samples. Throws std::invalid_argument for a format other than
    /// 16 kHz mono or an empty block.
    std::unique_ptr<CaptureStream> makeStream(std::optional<std::string> deviceName, CaptureFormat format,
                                              CaptureStream::BlockHandler handler) override;

    std::size_t sampleCount() const { return samples_->size(); }
    /// True once a capture has delivered the last block.
    bool isPlayed() const;
    /// Blocks until a capture has delivered the last block.
    void waitUntilPlayed() const;

private:
    struct Completion {
        mutable std::mutex lock;
        mutable std::condition_variable played;
        bool done = false;
    };

    std::shared_ptr<const std::vector<float>> samples_;
    double speed_;
    std::shared_ptr<Completion> completion_ = std::make_shared<Completion>();
};

} // namespace audio
