#pragma once
// Sample-rate conversion of planar float audio over libswresample. Each `convert` is one whole stretch:
// the input is fed once and the filter drained, so nothing of one call leaks into the next and no input
// frame is delivered twice. Channels are never mixed here; input and output have the same channel count.

#include "Platform/Audio/Files/PcmBuffer.h"
#include "Platform/Audio/Files/PcmFormat.h"

#include <cstdint>

struct SwrContext;

namespace audio {

class Resampler {
public:
    /// Throws AudioFileError when the channel counts differ or the library refuses the rates.
    Resampler(const PcmFormat& input, const PcmFormat& output);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    const PcmFormat& inputFormat() const { return input_; }
    const PcmFormat& outputFormat() const { return output_; }

    /// Converts the `frameLength` frames of `input` into `output` from its first frame and sets the output's
    /// length to the frames produced: about input frames × output rate ÷ input rate, cut at the output's
    /// capacity. Equal rates copy the samples unchanged. Throws AudioFileError when the buffers' formats
    /// are not the resampler's or the library fails (with its message).
    std::uint32_t convert(const PcmBuffer& input, PcmBuffer& output);

    /// Streaming use, for long audio converted block by block: `push` converts the next stretch and keeps
    /// the filter's state, so consecutive stretches join without a seam (the output lags the input by the
    /// filter's delay); `drain`, after the last stretch, gives what the filter still holds and leaves the
    /// resampler fresh. Both fill `output` from its first frame, set its length and return it; frames that
    /// do not fit stay for the next call (call `drain` until it returns 0). Equal rates copy the samples:
    /// `output` must then hold the whole stretch. Throws AudioFileError like `convert`.
    std::uint32_t push(const PcmBuffer& input, PcmBuffer& output);
    std::uint32_t drain(PcmBuffer& output);

private:
    void reset();
    void checkFormats(const PcmBuffer& input, const PcmBuffer& output) const;
    std::uint32_t run(const PcmBuffer* input, PcmBuffer& output);

    PcmFormat input_;
    PcmFormat output_;
    SwrContext* context_ = nullptr;
};

} // namespace audio
