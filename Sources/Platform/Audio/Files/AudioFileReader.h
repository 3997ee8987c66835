#pragma once
// Reads any audio file the media library can open (WAV, CAF, M4A/MP4, FLAC, MP3, …) as planar 32-bit
// float at the file's own rate and channel count. The length is exact in frames: encoder delay and
// padding of compressed formats are not counted, so the frames delivered are the frames the encoder
// was given. The read position is frame-accurate; reads move it forward.
//
// A file that ends before the audio its header states (cut off mid-write, or a header that lies) reads
// as the frames it holds: the length shrinks to them once a read finds the end, and statedLength() keeps
// the header's number. Non-finite samples (NaN, ±infinity) of float files read as 0, and samples beyond
// ±maximumSampleMagnitude (AudioFileLimits.h) as that bound.
//
// One reader serves one thread at a time.

#include "Platform/Audio/Files/PcmBuffer.h"
#include "Platform/Audio/Files/PcmFormat.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace audio {

class StreamDecoder;

class AudioFileReader {
public:
    /// Opens the file and its first audio stream. Throws AudioFileError (with the library's message)
    /// for a file that cannot be read or holds no audio stream, for a sample rate outside 1000 to 768000
    /// Hz or more than 64 channels, and for a file that holds no frame though its header states some.
    explicit AudioFileReader(const std::filesystem::path& path);
    ~AudioFileReader();
    AudioFileReader(AudioFileReader&&) noexcept;
    AudioFileReader& operator=(AudioFileReader&&) noexcept;
    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    const std::filesystem::path& path() const;
    /// The file's own sample rate and channel count.
    const PcmFormat& fileFormat() const;
    /// The format of the buffers `read` fills: planar float at the file's rate and channel count.
    const PcmFormat& processingFormat() const;
    /// The decoder's name ("aac", "pcm_s16le", …).
    std::string codecName() const;

    /// The number of frames in the file: the stated length until a read finds that the file ends
    /// before it, then the frames it holds.
    std::int64_t length() const;
    /// The frames the header states; more than length() once a file that ends early has been read to
    /// its end.
    std::int64_t statedLength() const;
    /// Samples that were replaced (not finite numbers, read as 0, or beyond the bound, read as it), in
    /// all decoding since the file was opened (frames decoded again after a move back count again).
    std::int64_t nonFiniteSamples() const;
    /// The frame the next read starts at.
    std::int64_t framePosition() const;
    /// Moves the read position; a position at or past the end makes reads deliver nothing. Moving
    /// forward decodes and drops the frames in between, moving back starts decoding again from the top.
    /// Throws AudioFileError for a negative position (and, on the next read, if the file cannot be reread).
    void setFramePosition(std::int64_t position);

    /// Reads up to `frameCount` frames into `buffer` from its first frame and sets the buffer's length to
    /// the frames read: fewer than asked only at the end of the file (also where it ends before its
    /// stated length), 0 past it. The buffer must be in the processing format and hold `frameCount`
    /// frames. Throws AudioFileError when the file cannot be decoded.
    std::uint32_t read(PcmBuffer& buffer, std::uint32_t frameCount);
    /// Reads up to the buffer's capacity.
    std::uint32_t read(PcmBuffer& buffer) { return read(buffer, buffer.frameCapacity()); }

private:
    /// Brings the decoder to `position_`: starts afresh when it is past it, then drops frames up to it.
    void catchUp();
    /// Decodes the next block into the pending frames; false at the end of the stream.
    bool decodeMore();
    void restart();
    /// The data ended at `decodedPosition_`, before the length: that is the length from now on.
    void endHere();

    std::filesystem::path path_;
    std::unique_ptr<StreamDecoder> decoder_;
    PcmFormat format_;
    std::int64_t length_ = 0;
    std::int64_t statedLength_ = 0;
    std::int64_t nonFiniteSamples_ = 0; // of the decoders before the current one
    std::int64_t position_ = 0;
    // Frames decoded but not yet delivered: the first of them is frame `decodedPosition_` of the file.
    std::vector<std::vector<float>> pending_;
    std::size_t pendingOffset_ = 0;
    std::size_t pendingFrames_ = 0;
    std::int64_t decodedPosition_ = 0;
};

} // namespace audio
