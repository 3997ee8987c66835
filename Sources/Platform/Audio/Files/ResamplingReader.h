#pragma once
// Reads an audio file block by block at a sample rate of the caller's choosing, for work that streams
// whole files (conversion, mixing) without holding them. The rate conversion keeps its state from block
// to block, so blocks join without a seam; the length is the file's, scaled to the new rate and rounded,
// and the audio is neither shifted nor stretched. A file that ends before its stated length ends the
// stream where its frames end (the length shrinks then), not with silence up to the stated length.

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
    /// Frames at the new rate: the file's stated length until its frames are found to end before it.
    std::int64_t length() const { return length_; }

    /// Fills `buffer` (of format()) from its first frame, up to its capacity, and sets its length; fewer
    /// frames only at the end, 0 past it. Throws AudioFileError when the file cannot be decoded.
    std::uint32_t read(PcmBuffer& buffer);

private:
    /// Refills `staged_`; false when nothing more comes from the file.
    bool stageMore();
    /// After the last converted frame: the length the frames the file held give, when it ended early.
    void settleLength(std::int64_t delivered);

    AudioFileReader reader_;
    PcmFormat format_;
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
    std::int64_t sourceStart_ = 0;  // the file's frame where reading began
    std::int64_t sourceLength_ = 0; // the file's length then
    double ratio_ = 1;
    std::unique_ptr<Resampler> resampler_; // none when the rates are equal
    std::shared_ptr<PcmBuffer> input_;     // a block at the file's rate
    std::shared_ptr<PcmBuffer> staged_;    // converted frames not yet delivered
    std::uint32_t stagedOffset_ = 0;
    bool sourceEnded_ = false;
    bool drained_ = false;
};

} // namespace audio
