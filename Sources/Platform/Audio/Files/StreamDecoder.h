#pragma once
// The media library's view of one audio file: the container, its first audio stream and that stream's
// decoder. Hands out decoded audio block by block as planar float, in the order the decoder gives it,
// with the encoder delay the container declares already dropped. The reader on top keeps count of frames.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

namespace audio {

class StreamDecoder {
public:
    /// Throws AudioFileError with the library's message.
    explicit StreamDecoder(const std::filesystem::path& path);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    int sampleRate() const { return sampleRate_; }
    int channelCount() const { return channelCount_; }
    std::string codecName() const;
    /// The length the container states in frames at the stream's rate; nothing when the container
    /// states none or only guesses it (from the bit rate), or when it indexes data it does not hold.
    std::optional<std::int64_t> statedLength() const { return statedLength_; }
    /// What the header declares even where it cannot be trusted (an index past the end of the file, a
    /// WAV or CAF data chunk larger than the file); nothing when it declares nothing.
    std::optional<std::int64_t> declaredLength() const { return declaredLength_; }
    /// Samples decoded so far that were replaced: those that were not finite numbers (NaN, ±infinity),
    /// given as 0, and those beyond ±maximumSampleMagnitude, given as that bound.
    std::int64_t nonFiniteSamples() const { return nonFiniteSamples_; }

    /// Decodes the next block into `planes` (resized to the channel count, each plane to the block's
    /// length) and returns its frame count; 0 at the end of the stream. Throws AudioFileError.
    std::size_t decodeNext(std::vector<std::vector<float>>& planes);

private:
    void close();
    /// Copies the decoded frame into `planes` as float, scaled as the library scales integer samples.
    std::size_t copyFrame(std::vector<std::vector<float>>& planes);
    /// Gives every non-finite sample of the first `frames` frames as 0 and every one beyond the bound as
    /// the bound, and counts them.
    void replaceNonFinite(std::vector<std::vector<float>>& planes, std::size_t frames);

    std::filesystem::path path_;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int streamIndex_ = -1;
    int sampleRate_ = 0;
    int channelCount_ = 0;
    std::optional<std::int64_t> statedLength_;
    std::optional<std::int64_t> declaredLength_;
    std::int64_t nonFiniteSamples_ = 0;
    std::int64_t preRoll_ = 0;     // frames decoded before time zero (encoder delay left in)
    std::int64_t preRollLeft_ = 0; // of those, still to drop
    bool sentTornPacket_ = false; // a packet cut short by the end of the file went to the decoder
    bool inputEnded_ = false;
    bool decoderEnded_ = false;
};

} // namespace audio
