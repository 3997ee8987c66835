#pragma once
// Reads an audio file block by block at a sample rate of the caller's choosing, for work that streams
// whole files (conversion, mixing) without holding them. The rate conversion keeps its state from block
// to block, so blocks join without a seam; the length is the file's, scaled to the new rate and rounded,
// and the audio is neither shifted nor stretched.

#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/PcmBuffer.h"
#include "Platform/Audio/Files/PcmFormat.h"

#include <cstdint>
#include <filesystem>
#include <memory>

namespace audio {

class Resampler;

class ResamplingReader {
public:
    /// Reads `file` from where it stands at `sampleRate`; the file's own rate passes the samples through
    /// unchanged. Throws AudioFileError for a rate that is not a positive whole number.
    ResamplingReader(AudioFileReader file, double sampleRate);
    ~ResamplingReader();
    ResamplingReader(const ResamplingReader&) = delete;
    ResamplingReader& operator=(const ResamplingReader&) = delete;

    const AudioFileReader& source() const { return reader_; }
    /// The rate asked for, with the file's channel count.
    const PcmFormat& format() const { return format_; }
    /// Frames at the new rate.
    std::int64_t length() const { return length_; }

    /// Fills `buffer` (of format()) from its first frame, up to its capacity, and sets its length; fewer
    /// frames only at the end, 0 past it. Throws AudioFileError when the file cannot be decoded.
    std::uint32_t read(PcmBuffer& buffer);

private:
    /// Refills `staged_`; false when nothing more comes from the file.
    bool stageMore();

    AudioFileReader reader_;
    PcmFormat format_;
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
    std::unique_ptr<Resampler> resampler_; // none when the rates are equal
    std::shared_ptr<PcmBuffer> input_;     // a block at the file's rate
    std::shared_ptr<PcmBuffer> staged_;    // converted frames not yet delivered
    std::uint32_t stagedOffset_ = 0;
    bool sourceEnded_ = false;
    bool drained_ = false;
};

} // namespace audio
