#include "Sonavex/Core/Audio/Streaming/AudioStreamTranscriber.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Transcription/TextUtilities.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace sonavex {

namespace {

constexpr int64_t kSampleRate = 16000;
constexpr auto kPollInterval = std::chrono::milliseconds(100);

} // namespace

AudioStreamTranscriber::AudioStreamTranscriber(
    std::shared_ptr<AudioEncoding> audioEncoder, std::shared_ptr<FeatureExtracting> featureExtractor,
    std::shared_ptr<SegmentSeeking> segmentSeeker, std::shared_ptr<TextDecoding> textDecoder,
    std::shared_ptr<WhisperTokenizer> tokenizer, std::shared_ptr<AudioProcessing> audioProcessor,
    DecodingOptions decodingOptions, int requiredSegmentsForConfirmation, float silenceThreshold,
    int compressionCheckWindow, bool useVAD, StateChangeCallback stateChangeCallback,
    std::shared_ptr<audio::CaptureSource> permissionSource)
    : audioProcessor_(std::move(audioProcessor)),
      permissionSource_(permissionSource ? std::move(permissionSource) : AudioProcessor::soundServer()),
      decodingOptions_(std::move(decodingOptions)),
      requiredSegmentsForConfirmation_(requiredSegmentsForConfirmation), silenceThreshold_(silenceThreshold),
      compressionCheckWindow_(compressionCheckWindow), useVAD_(useVAD),
      stateChangeCallback_(std::move(stateChangeCallback)) {
    if (requiredSegmentsForConfirmation < 0) {
        throw std::invalid_argument("The number of segments left unconfirmed cannot be negative");
    }
    if (compressionCheckWindow < 0) {
        throw std::invalid_argument("The compression check window cannot be negative");
    }
    if (!audioProcessor_) {
        throw std::invalid_argument("Live transcription needs an audio processor");
    }
    transcribeTask_ = std::make_unique<TranscribeTask>(
        TranscriptionTimings{}, nullptr, audioProcessor_, std::move(audioEncoder),
        std::move(featureExtractor), std::move(segmentSeeker), std::move(textDecoder), std::move(tokenizer));
}

void AudioStreamTranscriber::startStreamTranscription(std::stop_token stopToken) {
    if (isRecording()) {
        return;
    }
    const std::weak_ptr<AudioStreamTranscriber> weakSelf = weak_from_this();
    if (weakSelf.expired()) {
        throw std::logic_error("AudioStreamTranscriber must be owned by a std::shared_ptr to record");
    }
    if (!AudioProcessor::requestRecordPermission(*permissionSource_)) {
        Logging::error("Microphone access was not granted.");
        return;
    }
    uint64_t recording = 0;
    {
        std::lock_guard lock(lock_);
        recording = ++recordings_;
        changeState([](State& state) { state.isRecording = true; });
        // Capture starts with no samples, so what the last recording reached must not carry over: its
        // size would hold back the first passes and its confirmed end would skip the new speech.
        if (state_.lastBufferSize != 0) {
            changeState([](State& state) { state.lastBufferSize = 0; });
        }
        if (state_.lastConfirmedSegmentEndSeconds != 0) {
            changeState([](State& state) { state.lastConfirmedSegmentEndSeconds = 0; });
        }
        if (!state_.unconfirmedSegments.empty()) {
            changeState([](State& state) { state.unconfirmedSegments.clear(); });
        }
        if (!state_.unconfirmedText.empty()) {
            changeState([](State& state) { state.unconfirmedText.clear(); });
        }
    }
    deliverChanges();

    try {
        audioProcessor_->startRecordingLive(std::nullopt, [weakSelf](const std::vector<float>&) {
            if (const auto self = weakSelf.lock()) {
                self->onBufferCaptured();
            }
        });
    } catch (...) {
        // Not recording: a later start must try again instead of returning at once.
        {
            std::lock_guard lock(lock_);
            changeState([](State& state) { state.isRecording = false; });
        }
        deliverChanges();
        throw;
    }
    Logging::info("Realtime transcription has started");

    std::jthread loop(
        [this, stopToken, recording](std::stop_token loopToken) { runLoop(recording, loopToken, stopToken); });
    {
        std::lock_guard lock(lock_);
        loopStop_ = loop.get_stop_source();
    }
    // A stop asked of the caller's token cancels the loop's sleeps as well as the pass.
    const std::stop_callback forwardStop(stopToken, [&loop] { loop.request_stop(); });
    loop.join();
}

void AudioStreamTranscriber::stopStreamTranscription() {
    std::stop_source loopStop;
    {
        std::lock_guard lock(lock_);
        changeState([](State& state) { state.isRecording = false; });
        loopStop = loopStop_;
    }
    wake_.notify_all();
    loopStop.request_stop();
    deliverChanges();
    audioProcessor_->stopRecording();
    Logging::info("Realtime transcription has ended");
}

void AudioStreamTranscriber::runLoop(uint64_t recording, std::stop_token loopToken, std::stop_token passToken) {
    try {
        while (isRecording(recording)) {
            transcribeCurrentBuffer(recording, loopToken, passToken);
        }
    } catch (const std::exception& error) {
        Logging::error(std::string("Error: ") + error.what());
        // Nobody transcribes any more, so the microphone must not go on capturing (unless it already
        // records for a newer start).
        bool current = false;
        {
            std::lock_guard lock(lock_);
            current = recordings_ == recording;
            if (current && state_.isRecording) {
                changeState([](State& state) { state.isRecording = false; });
            }
        }
        deliverChanges();
        if (current) {
            audioProcessor_->stopRecording();
        }
    }
}

void AudioStreamTranscriber::transcribeCurrentBuffer(uint64_t recording, std::stop_token loopToken,
                                                     std::stop_token passToken) {
    const std::vector<float> samples = audioProcessor_->audioSamples();
    const auto sampleCount = static_cast<int64_t>(samples.size());
    int64_t lastBufferSize = 0;
    {
        std::lock_guard lock(lock_);
        lastBufferSize = state_.lastBufferSize;
    }
    const float newSeconds = static_cast<float>(sampleCount - lastBufferSize) / static_cast<float>(kSampleRate);
    if (!(newSeconds > 1.0f)) {
        waitForSpeech(recording, loopToken);
        return;
    }
    if (useVAD_ &&
        !AudioProcessor::isVoiceDetected(audioProcessor_->relativeEnergy(), newSeconds, silenceThreshold_)) {
        Logging::debug("No voice detected, skipping transcribe");
        waitForSpeech(recording, loopToken);
        return;
    }

    {
        std::lock_guard lock(lock_);
        changeState([sampleCount](State& state) { state.lastBufferSize = sampleCount; });
    }
    deliverChanges();

    const std::shared_ptr<TranscriptionResult> result = transcribeAudioSamples(samples, passToken);

    {
        std::lock_guard lock(lock_);
        changeState([](State& state) { state.currentText.clear(); });
        changeState([](State& state) { state.unconfirmedText.clear(); });
        confirmSegments(result ? result->segments() : std::vector<TranscriptionSegment>{});
    }
    deliverChanges();
}

void AudioStreamTranscriber::confirmSegments(const std::vector<TranscriptionSegment>& segments) {
    const auto kept = static_cast<std::size_t>(requiredSegmentsForConfirmation_);
    if (segments.size() <= kept) {
        changeState([&segments](State& state) { state.unconfirmedSegments = segments; });
        return;
    }
    const auto split = segments.end() - static_cast<std::ptrdiff_t>(kept);
    const std::vector<TranscriptionSegment> confirmed(segments.begin(), split);
    const float confirmedEnd = confirmed.back().end;
    if (confirmedEnd > state_.lastConfirmedSegmentEndSeconds) {
        changeState([confirmedEnd](State& state) { state.lastConfirmedSegmentEndSeconds = confirmedEnd; });
        const auto& known = state_.confirmedSegments;
        if (std::search(known.begin(), known.end(), confirmed.begin(), confirmed.end()) == known.end()) {
            changeState([&confirmed](State& state) {
                state.confirmedSegments.insert(state.confirmedSegments.end(), confirmed.begin(), confirmed.end());
            });
        }
    }
    changeState([&](State& state) { state.unconfirmedSegments.assign(split, segments.end()); });
}

std::shared_ptr<TranscriptionResult>
AudioStreamTranscriber::transcribeAudioSamples(const std::vector<float>& samples, std::stop_token passToken) {
    DecodingOptions options = decodingOptions_;
    {
        std::lock_guard lock(lock_);
        options.clipTimestamps = {state_.lastConfirmedSegmentEndSeconds};
    }
    const std::weak_ptr<AudioStreamTranscriber> weakSelf = weak_from_this();
    const int checkWindow = compressionCheckWindow_;
    const TranscriptionProgressCallback callback = [weakSelf, options,
                                                    checkWindow](const TranscriptionProgress& progress) {
        if (const auto self = weakSelf.lock()) {
            self->onProgressCallback(progress);
        }
        return shouldStopEarly(progress, options, checkWindow);
    };
    return transcribeTask_->run(samples, options, callback, std::move(passToken));
}

void AudioStreamTranscriber::onProgressCallback(const TranscriptionProgress& progress) {
    const int fallbacks = static_cast<int>(progress.timings.totalDecodingFallbacks);
    bool fallbackOccurred = false;
    {
        std::lock_guard lock(lock_);
        if (orvane::text::graphemeCount(progress.text) < orvane::text::graphemeCount(state_.currentText)) {
            if (state_.currentFallbacks == fallbacks) {
                changeState([](State& state) { state.unconfirmedText.push_back(state.currentText); });
            } else {
                fallbackOccurred = true;
            }
        }
        changeState([&progress](State& state) { state.currentText = progress.text; });
        changeState([fallbacks](State& state) { state.currentFallbacks = fallbacks; });
    }
    if (fallbackOccurred) {
        Logging::info("Fallback occured: " + std::to_string(fallbacks));
    }
    deliverChanges();
}

void AudioStreamTranscriber::onBufferCaptured() {
    const std::vector<float> energy = audioProcessor_->relativeEnergy();
    {
        std::lock_guard lock(lock_);
        changeState([&energy](State& state) { state.bufferEnergy = energy; });
    }
    deliverChanges();
}

std::optional<bool> AudioStreamTranscriber::shouldStopEarly(const TranscriptionProgress& progress,
                                                            const DecodingOptions& options,
                                                            int compressionCheckWindow) {
    const auto& tokens = progress.tokens;
    if (compressionCheckWindow >= 0 && tokens.size() > static_cast<std::size_t>(compressionCheckWindow)) {
        const std::vector<int64_t> recent(tokens.end() - compressionCheckWindow, tokens.end());
        const float ratio = TextUtilities::compressionRatio(recent);
        if (ratio > options.compressionRatioThreshold.value_or(0.0f)) {
            return false;
        }
    }
    if (progress.avgLogprob && options.logProbThreshold && *progress.avgLogprob < *options.logProbThreshold) {
        return false;
    }
    return std::nullopt;
}

void AudioStreamTranscriber::waitForSpeech(uint64_t recording, std::stop_token loopToken) {
    std::unique_lock lock(lock_);
    if (state_.currentText.empty()) {
        changeState([](State& state) { state.currentText = waitingForSpeechText; });
        lock.unlock();
        deliverChanges();
        lock.lock();
    }
    const bool stopped = wake_.wait_for(lock, loopToken, kPollInterval,
                                        [&] { return !state_.isRecording || recordings_ != recording; });
    if (!stopped && loopToken.stop_requested()) {
        throw orvane::CancellationError();
    }
}

bool AudioStreamTranscriber::isRecording() {
    std::lock_guard lock(lock_);
    return state_.isRecording;
}

bool AudioStreamTranscriber::isRecording(uint64_t recording) {
    std::lock_guard lock(lock_);
    return state_.isRecording && recordings_ == recording;
}

void AudioStreamTranscriber::deliverChanges() {
    std::unique_lock lock(lock_);
    if (delivering_ && deliveringThread_ == std::this_thread::get_id()) {
        return; // a callback's own change: the run below it delivers it in order
    }
    // Another thread delivering takes our changes along; waiting for it means a caller sees its changes
    // reported when its call returns.
    delivered_.wait(lock, [this] { return !delivering_; });
    delivering_ = true;
    deliveringThread_ = std::this_thread::get_id();
    const auto finish = [this] {
        delivering_ = false;
        deliveringThread_ = {};
        delivered_.notify_all();
    };
    while (!changes_.empty()) {
        const std::pair<State, State> change = std::move(changes_.front());
        changes_.pop_front();
        lock.unlock();
        try {
            stateChangeCallback_(change.first, change.second);
        } catch (...) {
            lock.lock();
            finish();
            throw;
        }
        lock.lock();
    }
    finish();
}

} // namespace sonavex
