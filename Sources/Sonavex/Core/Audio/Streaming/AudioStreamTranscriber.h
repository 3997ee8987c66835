#pragma once
// Live transcription: records through the audio stage and, while recording, transcribes everything
// recorded so far again and again, each pass decoding from the end of the last confirmed segment. The
// last segments of a pass stay unconfirmed (a later pass may still change them); the ones before are
// confirmed for good. Every change of the state goes to the callback as (old, new).
//
// Thread rules: one lock guards the state. Changes are queued under it and handed to the callback
// outside it, one call at a time and in the order they were made, on whichever thread is delivering
// at that moment (so a callback may call back into the transcriber). Buffer and progress updates
// hold the transcriber weakly and never keep it alive. Make it with std::make_shared.

#include "Platform/Audio/Capture/CaptureSource.h"
#include "Sonavex/Core/Audio/AudioProcessing.h"
#include "Sonavex/Core/Audio/Streaming/AudioStreamTranscriberState.h"
#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Core/FrontEnd/AudioEncoding.h"
#include "Sonavex/Core/FrontEnd/FeatureExtracting.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Results/TranscriptionProgress.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Text/SegmentSeeking.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"
#include "Sonavex/Core/TranscribeTask.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <stop_token>
#include <utility>
#include <vector>

namespace sonavex {

class AudioStreamTranscriber : public std::enable_shared_from_this<AudioStreamTranscriber> {
public:
    using State = AudioStreamTranscriberState;
    /// Gets (old state, new state) for every assignment of the state; each differs in one field at most.
    using StateChangeCallback = std::function<void(const State& oldState, const State& newState)>;

    /// Shown while a step finds too little new audio, or no voice in it.
    static constexpr const char* waitingForSpeechText = "Waiting for speech...";

    /// Microphone access is asked of `permissionSource` (none: the sound server). Throws
    /// std::invalid_argument for a negative segment count or check window.
    AudioStreamTranscriber(std::shared_ptr<AudioEncoding> audioEncoder,
                           std::shared_ptr<FeatureExtracting> featureExtractor,
                           std::shared_ptr<SegmentSeeking> segmentSeeker,
                           std::shared_ptr<TextDecoding> textDecoder, std::shared_ptr<WhisperTokenizer> tokenizer,
                           std::shared_ptr<AudioProcessing> audioProcessor, DecodingOptions decodingOptions,
                           int requiredSegmentsForConfirmation, float silenceThreshold, int compressionCheckWindow,
                           bool useVAD, StateChangeCallback stateChangeCallback = {},
                           std::shared_ptr<audio::CaptureSource> permissionSource = nullptr);
    AudioStreamTranscriber(const AudioStreamTranscriber&) = delete;
    AudioStreamTranscriber& operator=(const AudioStreamTranscriber&) = delete;

    /// Starts live capture and runs the pass loop on a thread of its own until recording stops; blocks
    /// until the loop has ended. Returns at once while already recording. Refused microphone access is
    /// logged, not thrown. A failure to start capture is thrown (recording is then not marked). A pass
    /// that fails, or a stop requested on `stopToken`, ends the loop with an error line and ends capture.
    void startStreamTranscription(std::stop_token stopToken = {});
    /// Ends recording; a pass already running completes and its result is still applied.
    void stopStreamTranscription();

    /// Whether the decoder should stop the current window: false when the last `compressionCheckWindow`
    /// tokens compress too well or the average log-probability is too low; nothing otherwise (never true).
    static std::optional<bool> shouldStopEarly(const TranscriptionProgress& progress,
                                               const DecodingOptions& options, int compressionCheckWindow);

private:
    /// One step of the loop: a pass when more than a second of new (voiced) audio has arrived, else a
    /// short sleep that a stop cuts short.
    void transcribeCurrentBuffer(uint64_t recording, std::stop_token loopToken, std::stop_token passToken);
    /// One pass over all samples from the last confirmed end.
    std::shared_ptr<TranscriptionResult> transcribeAudioSamples(const std::vector<float>& samples,
                                                                std::stop_token passToken);
    void onProgressCallback(const TranscriptionProgress& progress);
    void onBufferCaptured();
    /// The loop of one recording, on its own thread: steps while that recording goes on (a loop still
    /// finishing its pass after a stop ends when a new start has begun another); an error ends it, and
    /// capture with it.
    void runLoop(uint64_t recording, std::stop_token loopToken, std::stop_token passToken);
    /// Splits a pass's segments into confirmed and unconfirmed ones. Under the lock.
    void confirmSegments(const std::vector<TranscriptionSegment>& segments);
    /// Sets the waiting text when there is none, then sleeps 100 ms or until the recording ends. Throws
    /// orvane::CancellationError when woken by `loopToken` while the recording goes on.
    void waitForSpeech(uint64_t recording, std::stop_token loopToken);
    bool isRecording();
    bool isRecording(uint64_t recording);

    /// Applies one field change to the state and queues it for the callback. Under the lock.
    template <class Change> void changeState(Change&& change) {
        State old = state_;
        change(state_);
        if (stateChangeCallback_) {
            changes_.emplace_back(std::move(old), state_);
        }
    }
    /// Hands the queued changes to the callback unless another thread is doing so already. Not under
    /// the lock.
    void deliverChanges();

    std::shared_ptr<AudioProcessing> audioProcessor_;
    std::shared_ptr<audio::CaptureSource> permissionSource_;
    std::unique_ptr<TranscribeTask> transcribeTask_;
    const DecodingOptions decodingOptions_;
    const int requiredSegmentsForConfirmation_;
    const float silenceThreshold_;
    const int compressionCheckWindow_;
    const bool useVAD_;
    const StateChangeCallback stateChangeCallback_;

    std::mutex lock_;
    /// Wakes the loop's sleep when recording stops.
    std::condition_variable_any wake_;
    State state_;
    std::deque<std::pair<State, State>> changes_;
    bool delivering_ = false;
    std::thread::id deliveringThread_;
    std::condition_variable delivered_; // a delivery run ended
    /// Counts granted starts; a loop runs only for the recording it was started for.
    uint64_t recordings_ = 0;
    /// The running loop's own stop, requested by stopStreamTranscription.
    std::stop_source loopStop_;
};

} // namespace sonavex
