#pragma once
// One transcription of one array of 16 kHz mono samples: the audio is cut into clips and windows of one
// model window each; every window is padded to the model's length, turned into mel features and encoder
// output, decoded (again at higher temperatures while the result is poor), cut into timed segments by the
// segment seeker, given word timings when asked, and handed to the segment callback. The seeker decides
// where the next window starts. The task owns no model: it drives the stages it is given, which the
// engine shares with other tasks. Subclasses may override the per-window hooks and the result builder.
//
// Not thread-safe: one run at a time per task. Progress is counted in samples on a thread-safe
// progress object that others may watch while the run goes on.

#include "OrvaneCore/System/Progress.h"
#include "Platform/ML/Values/Half.h"
#include "Sonavex/Core/Audio/AudioProcessing.h"
#include "Sonavex/Core/Decoding/DecodingInputs.h"
#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Core/FrontEnd/AudioEncoding.h"
#include "Sonavex/Core/FrontEnd/FeatureExtracting.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/DecodingResult.h"
#include "Sonavex/Core/Results/TranscriptionProgress.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"
#include "Sonavex/Core/Text/SegmentSeeking.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace sonavex {

/// Receives each window's final segments, in window order.
using SegmentDiscoveryCallback = std::function<void(const std::vector<TranscriptionSegment>&)>;

class TranscribeTask {
public:
    /// A null progress object becomes a new one; a null audio processor the engine's own AudioProcessor.
    TranscribeTask(TranscriptionTimings currentTimings, std::shared_ptr<orvane::Progress> progress,
                   std::shared_ptr<AudioProcessing> audioProcessor,
                   std::shared_ptr<AudioEncoding> audioEncoder,
                   std::shared_ptr<FeatureExtracting> featureExtractor,
                   std::shared_ptr<SegmentSeeking> segmentSeeker, std::shared_ptr<TextDecoding> textDecoder,
                   std::shared_ptr<WhisperTokenizer> tokenizer);
    virtual ~TranscribeTask() = default;
    TranscribeTask(const TranscribeTask&) = delete;
    TranscribeTask& operator=(const TranscribeTask&) = delete;

    virtual std::shared_ptr<WhisperTokenizer> tokenizer() const { return tokenizer_; }
    virtual void setTokenizer(std::shared_ptr<WhisperTokenizer> tokenizer) {
        tokenizer_ = std::move(tokenizer);
    }
    /// Read anew for every window.
    virtual SegmentDiscoveryCallback segmentDiscoveryCallback() const { return segmentDiscoveryCallback_; }
    virtual void setSegmentDiscoveryCallback(SegmentDiscoveryCallback callback) {
        segmentDiscoveryCallback_ = std::move(callback);
    }

    /// Transcribes `audioArray` (blocking). No options: the defaults. The options' `verbose` is replaced
    /// by whether logging is on. `callback` gets the decoder's progress (with the window's id) on another
    /// thread; its false stops the current window only. A stop requested on `stopToken` ends the run
    /// with orvane::CancellationError at the next window step. Errors: tokenizerUnavailable without a
    /// tokenizer; transcriptionFailed "Audio samples are nil", "Mel output is nil", "Encoder output is
    /// nil" when a stage gives nothing; the stages' own errors unchanged. Segments already handed to the
    /// segment callback stay delivered; timings and progress keep what the run reached.
    virtual std::shared_ptr<TranscriptionResult> run(const std::vector<float>& audioArray,
                                                     const std::optional<DecodingOptions>& decodeOptions,
                                                     const TranscriptionProgressCallback& callback = {},
                                                     std::stop_token stopToken = {});

    /// Called with each window's padded audio before its mel features are made. Does nothing here.
    virtual void windowPreprocess(const std::shared_ptr<AudioProcessorOutputType>& window, int64_t seek,
                                  int64_t segmentSize);
    /// The segments the run keeps of a window that gave a segment list. Here: all of them.
    virtual std::vector<TranscriptionSegment>
    windowPostProcess(int64_t seek, int64_t segmentSize, std::vector<TranscriptionSegment> originalSegments);
    /// The run's result: the text decoded from the tokens below the special range (spaces and tabs
    /// trimmed, line breaks kept), the segments as given, the language ("en" without one), no seek time.
    virtual std::shared_ptr<TranscriptionResult>
    finalizeTranscriptionResult(const std::vector<int64_t>& tokens,
                                std::vector<TranscriptionSegment> segments,
                                std::optional<std::string> language, TranscriptionTimings timings);

    /// The running timings (what every run adds to).
    const TranscriptionTimings& timings() const { return timings_; }
    /// Progress of the current or last run, in samples.
    const std::shared_ptr<orvane::Progress>& progress() const { return progress_; }

    /// The temperatures of a window's attempts, computed in half precision: temperature + i × increment
    /// for i = 0 ... temperatureFallbackCount (none for a negative count).
    static std::vector<ml::Float16> fallbackTemperatures(const DecodingOptions& options);
    /// A half-precision value in its shortest decimal form that reads back to it ("0.5996", "1.0").
    static std::string describeTemperature(ml::Float16 temperature);

private:
    /// Decodes one window at the first temperature and again at each next one while the result asks for
    /// a fallback; detects the language before each attempt of a multilingual decoder without a language.
    /// `decoderInputs` are reset after each fallback; `detectedLanguage` is kept up to date.
    DecodingResult decodeWithFallback(const std::shared_ptr<AudioEncoderOutputType>& encoderSegment,
                                      const DecodingOptions& decodingOptions, DecodingInputs& decoderInputs,
                                      std::optional<std::string>& detectedLanguage,
                                      const TranscriptionProgressCallback& callback,
                                      std::stop_token stopToken);

    /// Adds a decoding attempt's step timings to the running ones.
    void mergeDecodingTimings(const TranscriptionTimings& attempt);

    TranscriptionTimings timings_;
    std::shared_ptr<orvane::Progress> progress_;
    std::shared_ptr<AudioEncoding> audioEncoder_;
    std::shared_ptr<FeatureExtracting> featureExtractor_;
    std::shared_ptr<SegmentSeeking> segmentSeeker_;
    std::shared_ptr<TextDecoding> textDecoder_;
    std::shared_ptr<AudioProcessing> audioProcessor_;
    std::shared_ptr<WhisperTokenizer> tokenizer_;
    SegmentDiscoveryCallback segmentDiscoveryCallback_;
};

} // namespace sonavex
