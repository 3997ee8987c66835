#pragma once
// Joins several record streams of one rate into single deliveries, as one multi-channel device would
// hand them: each stream's fragments are queued, and whenever every stream has frames queued, the
// frames all of them have are handed on at once, one buffer per stream in stream order.
//
// A stream that falls more than `maxLagFrames` behind the one furthest ahead (it stalled, or its clock
// runs slow) has the frames it lacks filled with silence, so the streams never drift apart and the
// queues stay bounded. A stretch the server reports as lost is silence at its place. Both kinds of
// silence are counted per stream.
//
// Thread rules: push() and reset() from one thread at a time (the sound server's loop thread); the
// handler runs inside push(). silenceFrames() from any thread.

#include "VelmoraCore/AudioCapture/TwoTrack/InputBufferList.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velmora {

class StreamPairing {
public:
    using Handler = std::function<void(InputBufferList buffers)>;

    /// `streamChannels[i]` is stream i's channel count (at least 1).
    StreamPairing(std::vector<int> streamChannels, int64_t maxLagFrames, Handler handler);

    /// Queues stream `stream`'s fragment of interleaved float frames; a null `data` is a lost stretch
    /// `bytes` long. Hands on what every stream has.
    void push(size_t stream, const void* data, size_t bytes);
    /// Drops everything queued, so that the next frames of all streams start together.
    void reset();

    size_t streamCount() const { return queues_.size(); }
    /// Frames of stream `stream` that were filled with silence, since construction.
    uint64_t silenceFrames(size_t stream) const;

private:
    struct Queue {
        int channels = 1;
        std::vector<float> samples;
        int64_t frames() const { return int64_t(samples.size()) / channels; }
    };

    void appendSilence(size_t stream, int64_t frames);
    void handOn();

    std::vector<Queue> queues_;
    const int64_t maxLagFrames_;
    Handler handler_;
    std::vector<InputBuffer> buffers_;
    std::unique_ptr<std::atomic<uint64_t>[]> silenceFrames_;
};

} // namespace velmora
