#pragma once
// The engine's audio stage as the transcription task and the streaming transcriber use it: cutting a
// window out of the samples for the mel stage, and live capture from an input device at 16 kHz mono
// with one energy value per captured buffer. AudioProcessor is the engine's own; a configuration may
// put another in its place. File loading is not part of this interface: those operations keep no state
// and are AudioProcessor's static members, which every caller uses directly.
//
// Thread rules: every member may be called from any thread. Buffer callbacks run on the capture thread.

#include "Sonavex/Core/Audio/AudioProcessorOutputType.h"
#include "Sonavex/Core/Audio/Live/AudioBufferStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace sonavex {

class AudioProcessing {
public:
    /// Called with each captured buffer, 16 kHz mono, on the capture thread.
    using BufferCallback = std::function<void(const std::vector<float>& buffer)>;

    virtual ~AudioProcessing() = default;

    /// Every sample captured since the last start (a copy).
    virtual std::vector<float> audioSamples() const = 0;
    /// Keeps only the newest `keepingLast` samples when there are more; the energies stay.
    virtual void purgeAudioSamples(int64_t keepingLast) = 0;
    /// The relative energy (0...1) of each captured buffer, oldest first (a copy).
    virtual std::vector<float> relativeEnergy() const = 0;
    virtual int relativeEnergyWindow() const = 0;
    virtual void setRelativeEnergyWindow(int window) = 0;

    /// Empties the samples and energies and starts capture from the device (none: the default input);
    /// `callback` replaces the current one, also when empty. Throws when capture cannot start.
    virtual void startRecordingLive(std::optional<uint32_t> inputDeviceID = std::nullopt,
                                    BufferCallback callback = {}) = 0;
    /// Capture whose buffers go to the returned stream. A failure to start ends the stream with the
    /// error; the stream ending stops capture.
    virtual std::pair<AudioBufferStream, AudioBufferStream::Continuation>
    startStreamingRecordingLive(std::optional<uint32_t> inputDeviceID = std::nullopt) = 0;
    /// Holds capture; samples and energies stay.
    virtual void pauseRecording() = 0;
    /// Ends capture; samples, energies and the callback stay.
    virtual void stopRecording() = 0;
    /// Continues capture, on a new device when one different from the last start's is given; a
    /// non-empty `callback` replaces the current one. Samples and energies stay.
    virtual void resumeRecordingLive(std::optional<uint32_t> inputDeviceID = std::nullopt,
                                     BufferCallback callback = {}) = 0;

    /// `toLength` samples of `fromArray` from `startAt`, padded with zeros, as the mel stage's input;
    /// null for a start outside the samples.
    virtual std::shared_ptr<AudioProcessorOutputType> padOrTrim(const std::vector<float>& fromArray,
                                                                int startAt, int toLength) = 0;
};

} // namespace sonavex
