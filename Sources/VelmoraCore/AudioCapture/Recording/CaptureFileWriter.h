#pragma once
// Where a recorder's samples go: a file that takes de-interleaved float frames as the capture delivers
// them. Recorders make theirs through a factory, so a test can hand in one that fails or stalls.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace velmora {

class CaptureFileWriter {
public:
    virtual ~CaptureFileWriter() = default;

    /// Appends `frames` frames; channels[c] holds channel c's samples. Throws when the file cannot
    /// take them; the frames written before stay valid.
    virtual void write(const float* const* channels, int64_t frames) = 0;
    /// Finishes the file. Throws what went wrong (for a writer that works in the background, also a
    /// failure of an earlier write).
    virtual void close() = 0;
};

using CaptureFileWriterFactory =
    std::function<std::unique_ptr<CaptureFileWriter>(const std::filesystem::path& path, double sampleRate,
                                                     int channels)>;

/// The microphone's file: linear-PCM CAF, 32-bit float, written as it comes (audio::CafWriter).
std::unique_ptr<CaptureFileWriter> makeCafCaptureFile(const std::filesystem::path& path, double sampleRate,
                                                      int channels);
/// The system audio's file: fragmented MPEG-4 AAC, encoded on a thread of its own
/// (audio::StreamingAacWriter); `sampleRate` must be one AAC carries.
std::unique_ptr<CaptureFileWriter> makeStreamingAacCaptureFile(const std::filesystem::path& path,
                                                               double sampleRate, int channels);

} // namespace velmora
