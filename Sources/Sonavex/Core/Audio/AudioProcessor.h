#pragma once
// Turns audio files and buffers into what the engine's stages take: 16 kHz mono 32-bit float samples.
// Loading, channel mixing and resampling are static operations that keep no state between calls; an
// open file serves one call at a time, since every call moves its read position.
//
// Failures: file-level loads throw WhisperError::loadAudioFailed (a file that cannot be opened throws the
// audio layer's AudioFileError unchanged); buffer-level mixing and resampling return null and write an
// error line to the log; the single conversion step resampleBuffer throws audioProcessingFailed.
//
// An instance captures live audio: made with std::make_shared (its captures hold it only weakly), it
// keeps every captured sample and one energy entry per buffer behind one lock, so readers on other
// threads get consistent copies while the capture thread writes.

#include "Platform/Audio/Capture/CaptureSource.h"
#include "Platform/Audio/Files/AudioFileReader.h"
#include "Platform/Audio/Files/PcmBuffer.h"
#include "Platform/Audio/Files/Resampler.h"
#include "Platform/ML/Values/MultiArray.h"
#include "Sonavex/Core/Audio/AudioDevice.h"
#include "Sonavex/Core/Audio/AudioInputOptions.h"
#include "Sonavex/Core/Audio/AudioProcessing.h"
#include "Sonavex/Core/Audio/Incremental/IncrementalFileStream.h"
#include "Sonavex/Core/Audio/VoiceActivity/IndexRange.h"
#include "Sonavex/Utilities/Errors/Result.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sonavex {

class AudioProcessor : public AudioProcessing, public std::enable_shared_from_this<AudioProcessor> {
public:
    using ChannelMode = AudioInputOptions::ChannelMode;
    using Buffer = std::shared_ptr<audio::PcmBuffer>;

    // Live capture.

    /// The measures of one captured buffer: relative energy (0...1), RMS level, largest and smallest
    /// magnitude.
    struct BufferEnergy {
        float rel = 0;
        float avg = 0;
        float max = 0;
        float min = 0;
        /// "(rel: 0.0, avg: 0.35355338, max: 0.5, min: 0.0)".
        std::string description() const;
    };

    static constexpr int defaultRelativeEnergyWindow = 20;
    static constexpr int defaultMinBufferLength = 1600;
    /// A buffer's relative energy is measured against the quietest of this many buffers before it.
    static constexpr std::size_t energyReferenceBuffers = 20;

    /// Captures from `captureSource`; none means the sound server. Nothing is captured until started.
    explicit AudioProcessor(std::shared_ptr<audio::CaptureSource> captureSource = nullptr);
    /// Stops capture.
    ~AudioProcessor() override;
    AudioProcessor(const AudioProcessor&) = delete;
    AudioProcessor& operator=(const AudioProcessor&) = delete;

    /// The sound server's capture source, shared by the process.
    static std::shared_ptr<audio::CaptureSource> soundServer();
    /// True when microphone capture is possible (the sound server answers); logs
    /// "Microphone access denied" when not. Blocks until the source answers.
    static bool requestRecordPermission(audio::CaptureSource& source = *soundServer());
    /// The devices that can be recorded from, monitors of outputs left out; empty (and an error line)
    /// when the list cannot be read.
    static std::vector<AudioDevice> getAudioDevices(audio::CaptureSource& source = *soundServer());

    std::vector<float> audioSamples() const override;
    std::vector<BufferEnergy> audioEnergy() const;
    std::vector<float> relativeEnergy() const override;
    /// Throws std::invalid_argument for a negative count.
    void purgeAudioSamples(int64_t keepingLast) override;
    int relativeEnergyWindow() const override;
    void setRelativeEnergyWindow(int window) override;
    /// Frames per captured buffer (0: the default); read when capture starts.
    int minBufferLength() const;
    void setMinBufferLength(int frames);
    BufferCallback audioBufferCallback() const;
    void setAudioBufferCallback(BufferCallback callback);
    bool isInputSuppressed() const { return inputSuppressed_; }
    /// While set, captured buffers are taken in as silence, from the next buffer on.
    void setInputSuppressed(bool suppressed) { inputSuppressed_ = suppressed; }
    /// Sets every sample to 0 while input is suppressed.
    void suppressInputIfNeeded(std::vector<float>& samples) const;
    /// Takes one 16 kHz buffer in: appends its samples and its energy entry, then calls the callback
    /// (outside the lock). Every minBufferLength × relativeEnergyWindow samples it logs the size.
    void processBuffer(const std::vector<float>& buffer);

    /// Throws std::logic_error unless the processor is owned by a std::shared_ptr, std::invalid_argument
    /// for a buffer length out of range, and the capture's own error when it cannot start.
    void startRecordingLive(std::optional<uint32_t> inputDeviceID = std::nullopt,
                            BufferCallback callback = {}) override;
    std::pair<AudioBufferStream, AudioBufferStream::Continuation>
    startStreamingRecordingLive(std::optional<uint32_t> inputDeviceID = std::nullopt) override;
    void pauseRecording() override;
    /// A device given that differs from the last start's (or any device after a start without one, or
    /// no device after a start with one) starts a new capture; otherwise the existing one continues.
    void resumeRecordingLive(std::optional<uint32_t> inputDeviceID = std::nullopt,
                             BufferCallback callback = {}) override;
    void stopRecording() override;

    /// A started capture from the device (the default input when none is given or it is unknown).
    std::shared_ptr<audio::CaptureStream> setupEngine(std::optional<uint32_t> inputDeviceID);
    /// The name of the device to open for `inputDeviceID`; nothing (and an error line) when the source
    /// does not list it, so that capture takes the default input.
    std::optional<std::string> assignAudioInput(uint32_t inputDeviceID);

    std::shared_ptr<AudioProcessorOutputType> padOrTrim(const std::vector<float>& fromArray, int startAt,
                                                        int toLength) override;

    /// Every loader's output rate; a file at exactly this rate with one channel is read unconverted.
    static constexpr double targetSampleRate = 16000.0;
    /// loadAudioAsFloatArray loads and flattens the file in pieces of this many seconds.
    static constexpr double pieceDurationSeconds = 600.0;
    /// The chunk size every loader flattens buffers with.
    static constexpr int flattenChunkSize = 1024;

    // Loading files.
    //
    // A file that ends before the audio its header states loads as the frames it holds, with a warning
    // naming both counts; one that holds no frame though its header states some throws the audio layer's
    // AudioFileError. Non-finite samples load as 0 and samples beyond ±1e6 as that bound, their number
    // told once per load. Both notes go to the log at info level, or to standard error when the log does
    // not show info; a load that fills a FileLoadReport only logs them, leaving the telling to its caller.

    /// What a whole-file load found besides the samples, in frames of the file.
    struct FileLoadReport {
        std::int64_t statedFrames = 0;
        std::int64_t heldFrames = 0;
        std::int64_t nonFiniteSamples = 0;
        bool endsEarly() const { return heldFrames < statedFrames; }
    };

    /// The stretch [startTime, endTime) of the file at `fromPath` as 16 kHz mono. No start means 0, no end
    /// the end of the file (an end past it counts as it), no read size Constants::defaultAudioReadFrameSize.
    static Buffer loadAudio(const std::string& fromPath,
                            const ChannelMode& channelMode = AudioInputOptions::SumChannels{},
                            std::optional<double> startTime = std::nullopt,
                            std::optional<double> endTime = std::nullopt,
                            std::optional<std::uint32_t> maxReadFrameSize = std::nullopt);
    /// The same from an open file, whose read position it sets and moves.
    static Buffer loadAudio(audio::AudioFileReader& fromFile, const ChannelMode& channelMode,
                            std::optional<double> startTime = std::nullopt,
                            std::optional<double> endTime = std::nullopt,
                            std::optional<std::uint32_t> maxReadFrameSize = std::nullopt);
    /// The stretch as samples, loaded in pieces of 600 seconds that meet at the same frame; memory beyond
    /// the result stays within one piece and one read. A start at or past the end gives no samples.
    static std::vector<float> loadAudioAsFloatArray(
        const std::string& fromPath, const ChannelMode& channelMode = AudioInputOptions::SumChannels{},
        std::optional<double> startTime = std::nullopt, std::optional<double> endTime = std::nullopt);
    /// The same, telling `report` how many frames the file states and holds, and how many samples were
    /// replaced.
    static std::vector<float> loadAudioAsFloatArray(const std::string& fromPath,
                                                    const ChannelMode& channelMode,
                                                    std::optional<double> startTime,
                                                    std::optional<double> endTime, FileLoadReport& report);
    /// Every file whole, several at once; one result per path in input order, a failure holding its error.
    static std::vector<Result<std::vector<float>>> loadAudio(const std::vector<std::string>& at,
                                                             const ChannelMode& channelMode);
    /// The whole file, all channels summed, on the calling thread.
    static Buffer loadAudioAsync(const std::string& fromPath);
    /// The file's speech chunks as it is read in pieces of `chunkDurationSeconds`, cut by `vad` (the
    /// engine's default detector when null) into chunks of at most `maxChunkLength` samples, with at most
    /// `maxBufferedChunks` chunks out at once. Throws WhisperError::loadAudioFailed, before any reading,
    /// for a duration that is not finite and positive, fewer than 1 buffered chunk, a missing file or a
    /// chunk length of 16,000 samples or less (the chunker keeps that much back, so nothing would ever be
    /// cut). Read errors come out of the stream.
    static IncrementalFileStream loadFileIncrementally(const std::string& fromPath,
                                                       const ChannelMode& channelMode,
                                                       double chunkDurationSeconds, int64_t maxBufferedChunks,
                                                       int64_t maxChunkLength,
                                                       std::shared_ptr<VoiceActivityDetector> vad);

    /// Channel 0 of the buffer's valid frames, copied `chunkSize` frames at a time; the copied samples of
    /// the buffer are cleared as they go. Empty for a buffer without channels. Throws std::invalid_argument
    /// for a chunk size below 1.
    static std::vector<float> convertBufferToArray(audio::PcmBuffer& buffer, int chunkSize);
    /// A float array of `toLength` samples: `fromArray` from `startAt`, cut or padded with zeros. Nothing
    /// (and an error line) for a start outside the samples. `saveSegment` has no effect. Throws
    /// std::invalid_argument for a length below 1.
    static std::optional<ml::MultiArray> padOrTrimAudio(const std::vector<float>& fromArray, int startAt,
                                                        int toLength, bool saveSegment = false);

    // Channel mixing and resampling.

    /// One channel made of the buffer's channels as the mode says; a mono buffer comes back as it is.
    static Buffer convertToMono(const Buffer& buffer, const ChannelMode& mode);
    /// The buffer converted by `converter` into a buffer of its output format, exactly
    /// output rate × frames ÷ input rate frames long (rounded half to even, at least 1, when fractional).
    /// Throws WhisperError::audioProcessingFailed.
    static Buffer resampleBuffer(const audio::PcmBuffer& buffer, audio::Resampler& converter);
    /// The buffer at another rate, through a converter made for it alone.
    static Buffer resampleAudio(const audio::PcmBuffer& fromBuffer, double toSampleRate,
                                std::uint32_t channelCount);
    /// `frameCount` frames (no count: the rest of the file) of the open file from its read position, read
    /// at most `maxReadFrameSize` at a time, each read mixed to mono and converted on its own.
    static Buffer resampleAudio(audio::AudioFileReader& fromFile, double toSampleRate,
                                std::uint32_t channelCount, const ChannelMode& channelMode,
                                std::optional<std::uint32_t> frameCount, std::uint32_t maxReadFrameSize);

    // Energy and voice activity. Levels are root-mean-square values; a magnitude is an absolute value.

    struct Energy {
        float avg = 0;
        float max = 0;
        float min = 0;
    };

    /// `chunkCount` flags: frame i is measured over [i × frameLength, i × frameLength + frameLength +
    /// overlap) cut at the end of the samples, and is voiced when its level is strictly above the
    /// threshold. A frame with no samples left has level 0. Throws std::invalid_argument for a negative
    /// count or a frame length below 1.
    static std::vector<bool> calculateVoiceActivityInChunks(std::span<const float> of, int64_t chunkCount,
                                                            int64_t frameLengthSamples,
                                                            int64_t frameOverlapSamples,
                                                            float energyThreshold);
    /// The level, largest and smallest magnitude; all 0 for no samples.
    static Energy calculateEnergy(std::span<const float> of);
    /// The level; 0 for no samples.
    static float calculateAverageEnergy(std::span<const float> of);
    /// The level in decibels placed between a reference (-60 dB without one, else the given level, at
    /// least 1e-8) and 0 dB, limited to 0...1; what is not a number gives 0.
    static float calculateRelativeEnergy(std::span<const float> of, std::optional<float> relativeTo);
    /// Whether any of the energies (one per 0.1 s buffer) of the newest `nextBufferInSeconds` is strictly
    /// above the threshold; of more than 20 such values the newest 10 are left out, otherwise at most the
    /// first 10 count.
    static bool isVoiceDetected(std::span<const float> in, float nextBufferInSeconds, float silenceThreshold);
    /// The voiced ranges found by the engine's default detector.
    static std::vector<IndexRange> calculateNonSilentChunks(std::span<const float> in);

private:
    // The capture thread's entry for each block.
    void takeCapturedBlock(const std::vector<float>& block);

    const std::shared_ptr<audio::CaptureSource> captureSource_;

    // What capture writes and others read; the callback is never called under this lock.
    mutable std::mutex stateLock_;
    std::vector<float> audioSamples_;
    std::vector<BufferEnergy> audioEnergy_;
    int relativeEnergyWindow_ = defaultRelativeEnergyWindow;
    int minBufferLength_ = defaultMinBufferLength;
    BufferCallback audioBufferCallback_;
    std::atomic<bool> inputSuppressed_{false};

    // The running capture. controlLock_ is never held while a capture is stopped or paused, since
    // that waits for the capture thread, which may itself be calling in from a buffer callback.
    std::mutex controlLock_;
    std::shared_ptr<audio::CaptureStream> audioEngine_;
    std::optional<uint32_t> lastInputDevice_;
};

} // namespace sonavex
