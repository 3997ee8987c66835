#include "Platform/Audio/Capture/PlaybackCaptureSource.h"

#include "Platform/Audio/Capture/PlaybackCaptureStream.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace audio {

PlaybackCaptureSource::PlaybackCaptureSource(std::vector<float> samples, double speed)
    : samples_(std::make_shared<const std::vector<float>>(std::move(samples))), speed_(speed) {
    if (!std::isfinite(speed) || speed <= 0) {
        throw std::invalid_argument("The playback speed must be a positive number");
    }
}

std::vector<InputDevice> PlaybackCaptureSource::inputDevices() {
    return {InputDevice{0, "playback", "playback"}};
}

std::unique_ptr<CaptureStream> PlaybackCaptureSource::makeStream(std::optional<std::string>,
                                                                 CaptureFormat format,
                                                                 CaptureStream::BlockHandler handler) {
    if (format.sampleRate != sampleRate || format.channels != 1 || format.blockFrames == 0) {
        throw std::invalid_argument("Playback delivers 16 kHz mono samples in blocks of at least one frame");
    }
    const double blocksPerSecond = speed_ * sampleRate / format.blockFrames;
    std::weak_ptr<Completion> completion = completion_;
    return std::make_unique<PlaybackCaptureStream>(samples_, format.blockFrames, blocksPerSecond,
                                                   std::move(handler), [completion] {
                                                       if (const auto done = completion.lock()) {
                                                           std::lock_guard guard(done->lock);
                                                           done->done = true;
                                                           done->played.notify_all();
                                                       }
                                                   });
}

bool PlaybackCaptureSource::isPlayed() const {
    std::lock_guard guard(completion_->lock);
    return completion_->done;
}

void PlaybackCaptureSource::waitUntilPlayed() const {
    std::unique_lock guard(completion_->lock);
    completion_->played.wait(guard, [this] { return completion_->done; });
}

} // namespace audio
