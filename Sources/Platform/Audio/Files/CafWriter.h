#pragma once
// Writes linear-PCM CAF files: 32-bit little-endian float samples, interleaved on disk. Callers hand
// over de-interleaved (one array per channel) buffers, as the capture callbacks produce them.
//
// The data chunk's size stays "to end of file" (-1) while the file is written and gets its real value
// in close(), so a file whose writer was killed mid-recording still reads up to its last whole frame.
// Each write goes to the operating system at once (no user-space buffering) for the same reason.
//
// Not thread-safe: one thread writes at a time (the capture thread), close() after the last write.

#include <cstdint>
#include <filesystem>
#include <vector>

namespace audio {

class CafWriter {
public:
    /// Creates (or truncates) the file and writes its header. Throws AudioFileError when the file
    /// cannot be created; std::invalid_argument for a rate that is not positive or fewer than 1 channel.
    CafWriter(const std::filesystem::path& path, double sampleRate, int channels);
    ~CafWriter();
    CafWriter(const CafWriter&) = delete;
    CafWriter& operator=(const CafWriter&) = delete;

    /// Appends `frames` frames; channels[c] holds channel c's samples. Throws AudioFileError when
    /// the bytes cannot be written; whole frames written before stay valid.
    void write(const float* const* channels, int64_t frames);

    /// Writes the data size into the header and closes the file. Idempotent; the destructor calls it
    /// (and swallows its error).
    void close();

    double sampleRate() const { return sampleRate_; }
    int channelCount() const { return channels_; }
    int64_t framesWritten() const { return framesWritten_; }
    const std::filesystem::path& path() const { return path_; }

    /// Byte offsets a reader (and the tests) can rely on: the data chunk's 64-bit size field and the
    /// first sample byte.
    static constexpr int64_t kDataSizeOffset = 8 + 12 + 32 + 4;
    static constexpr int64_t kAudioDataOffset = kDataSizeOffset + 8 + 4;

private:
    void writeAll(const void* bytes, size_t size);

    std::filesystem::path path_;
    double sampleRate_;
    int channels_;
    int fd_ = -1;
    int64_t framesWritten_ = 0;
    bool unusable_ = false; // a failed write could not be undone: the file takes no more frames
    std::vector<float> interleaved_;
};

} // namespace audio
