#pragma once
// Encodes planar float samples to AAC-LC with FFmpeg's native "aac" encoder and writes them into an
// MPEG-4 file, either as a regular ".m4a" (index written at the end) or fragmented (an empty index up
// front, then a fragment about every second, so a file whose writer was killed still plays up to its
// last fragment).
//
// The encoder's priming delay and the padding of its last frame are signalled in the file (edit list,
// last packet's duration), so a reader that honours them gets exactly the frames that were written.
//
// Not thread-safe; StreamingAacWriter moves the encoding off the capture thread.

#include <cstdint>
#include <filesystem>
#include <memory>

namespace audio {

class AacFileWriter {
public:
    enum class Container {
        m4a,           ///< "ipod" muxer: one index at the end, the compact form for finished files
        fragmentedMp4, ///< "mp4" muxer, fragmented: readable while and after being written
    };

    /// The rates AAC can carry (those of MPEG-4 audio); any other rate must be resampled first.
    static bool isSupportedSampleRate(int sampleRate);
    /// The native encoder's largest layout; more channels must be mixed down first.
    static constexpr int maximumChannelCount = 8;

    /// Opens the encoder and the muxer and writes the file's header. Throws audio::EncoderSetupError
    /// when the encoder or the muxer refuses the format, and AudioFileError when the file cannot be
    /// created. `bitRate` 0 picks 64 kbit/s per channel (at most 256 kbit/s).
    AacFileWriter(const std::filesystem::path& path, Container container, int sampleRate, int channels,
                  int64_t bitRate = 0);
    ~AacFileWriter();
    AacFileWriter(const AacFileWriter&) = delete;
    AacFileWriter& operator=(const AacFileWriter&) = delete;

    /// Encodes `frames` frames; channels[c] holds channel c's samples (values beyond ±1 are clipped by
    /// the caller's choice, not here).
    void write(const float* const* channels, int64_t frames);

    /// Flushes the encoder, writes the trailer and closes the file. Call once after the last write; a
    /// writer destroyed without it closes the file as far as it got.
    void finish();

    int sampleRate() const;
    int channelCount() const;
    int64_t framesWritten() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace audio
