#include "FakeSpeechEngine.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/System/Progress.h"

namespace transcriptiontest {

class FakePipeline : public velmora::SpeechPipeline {
public:
    explicit FakePipeline(FakeSpeechEngine& engine) : engine_(engine) {}

    std::vector<std::shared_ptr<sonavex::TranscriptionResult>>
    transcribe(std::span<const float> audioArray, const sonavex::DecodingOptions& decodeOptions,
               std::stop_token) override {
        ReceivedAudio audio{std::vector<float>(audioArray.begin(), audioArray.end()), decodeOptions};
        {
            std::lock_guard lock(engine_.mutex_);
            engine_.transcriptions_.push_back(audio);
        }
        auto segments = engine_.script ? engine_.script(audio) : std::vector<sonavex::TranscriptionSegment>{};
        return {sonavex::TranscriptionResult::make("", std::move(segments), "ja", {})};
    }

private:
    FakeSpeechEngine& engine_;
};

FakeSpeechEngine::FakeSpeechEngine(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path FakeSpeechEngine::download(const velmora::ModelDownloadRequest& request,
                                                 const DownloadProgress& progress, std::stop_token stop) {
    std::exception_ptr failure;
    {
        std::lock_guard lock(mutex_);
        downloads_.push_back(request);
        if (!downloadFailures.empty()) {
            failure = downloadFailures.front();
            downloadFailures.pop_front();
        }
    }
    changed_.notify_all();
    if (failure) {
        std::rethrow_exception(failure);
    }
    for (std::size_t i = 0; i < progressFractions.size(); ++i) {
        orvane::Progress report(100);
        report.setCompletedUnitCount(static_cast<std::int64_t>(progressFractions[i] * 100));
        progress(report);
        if (i == 0) {
            holdWhileAsked(progress, stop);
        }
    }
    return folder_;
}

void FakeSpeechEngine::holdWhileAsked(const DownloadProgress& progress, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    ++held_;
    changed_.notify_all();
    std::uint64_t seen = pulses_;
    while (holding_) {
        if (!changed_.wait(lock, stop, [&] { return !holding_ || pulses_ != seen; })) {
            --held_;
            ++stoppedDownloads_;
            changed_.notify_all();
            throw orvane::CancellationError();
        }
        if (pulses_ != seen) {
            seen = pulses_;
            lock.unlock();
            orvane::Progress report(4);
            report.setCompletedUnitCount(1);
            progress(report);
            lock.lock();
        }
    }
    --held_;
}

std::shared_ptr<velmora::SpeechPipeline> FakeSpeechEngine::construct(const sonavex::SonavexConfig& config,
                                                                     std::stop_token) {
    ReceivedConfig received{
        config.model,   config.modelFolder, config.verbose,  config.logLevel,
        config.prewarm, config.load,        config.download, config.useBackgroundDownloadSession};
    received.everythingElseAbsent =
        !config.downloadBase && !config.modelRepo && !config.modelToken && !config.modelEndpoint &&
        !config.tokenizerFolder && !config.computeOptions && !config.audioInputConfig &&
        !config.audioProcessor && !config.featureExtractor && !config.audioEncoder && !config.textDecoder &&
        !config.logitsFilters && !config.segmentSeeker && !config.voiceActivityDetector;
    std::exception_ptr failure;
    {
        std::lock_guard lock(mutex_);
        constructions_.push_back(received);
        if (!constructFailures.empty()) {
            failure = constructFailures.front();
            constructFailures.pop_front();
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    return std::make_shared<FakePipeline>(*this);
}

void FakeSpeechEngine::hold() {
    std::lock_guard lock(mutex_);
    holding_ = true;
}

void FakeSpeechEngine::release() {
    {
        std::lock_guard lock(mutex_);
        holding_ = false;
    }
    changed_.notify_all();
}

void FakeSpeechEngine::pulse() {
    {
        std::lock_guard lock(mutex_);
        ++pulses_;
    }
    changed_.notify_all();
}

void FakeSpeechEngine::waitUntilHeld(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return held_ >= count; });
}

void FakeSpeechEngine::waitUntilStopped(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stoppedDownloads_ >= count; });
}

std::vector<velmora::ModelDownloadRequest> FakeSpeechEngine::downloads() const {
    std::lock_guard lock(mutex_);
    return downloads_;
}

std::vector<ReceivedConfig> FakeSpeechEngine::constructions() const {
    std::lock_guard lock(mutex_);
    return constructions_;
}

std::vector<ReceivedAudio> FakeSpeechEngine::transcriptions() const {
    std::lock_guard lock(mutex_);
    return transcriptions_;
}

std::size_t FakeSpeechEngine::stoppedDownloads() const {
    std::lock_guard lock(mutex_);
    return stoppedDownloads_;
}

sonavex::TranscriptionSegment engineSegment(std::string text, float noSpeechProb) {
    sonavex::TranscriptionSegment segment;
    segment.text = std::move(text);
    segment.noSpeechProb = noSpeechProb;
    return segment;
}

} // namespace transcriptiontest
