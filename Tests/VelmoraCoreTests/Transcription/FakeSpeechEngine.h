#pragma once
// A speech engine for the transcriber's tests: it records what it was asked, fails on request, can hold
// a download until the test lets it go, and answers each transcription from a script.

#include "VelmoraCore/Transcription/SpeechEngine.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace transcriptiontest {

/// The configuration fields a construction received.
struct ReceivedConfig {
    std::optional<std::string> model;
    std::optional<std::string> modelFolder;
    bool verbose = false;
    orvane::Logging::LogLevel logLevel = orvane::Logging::LogLevel::none;
    std::optional<bool> prewarm;
    std::optional<bool> load;
    bool download = false;
    bool useBackgroundDownloadSession = true;
    /// Every other field is absent (no stage, no repository, no endpoint, …).
    bool everythingElseAbsent = false;
};

/// One transcription call: the samples it got and the options.
struct ReceivedAudio {
    std::vector<float> samples;
    sonavex::DecodingOptions options;
};

class FakeSpeechEngine : public velmora::SpeechEngine {
public:
    using Script = std::function<std::vector<sonavex::TranscriptionSegment>(const ReceivedAudio& audio)>;

    /// `folder` is what download() returns.
    explicit FakeSpeechEngine(std::filesystem::path folder = "/models/fake");

    std::filesystem::path download(const velmora::ModelDownloadRequest& request,
                                   const DownloadProgress& progress, std::stop_token stop) override;
    std::shared_ptr<velmora::SpeechPipeline> construct(const sonavex::SonavexConfig& config,
                                                       std::stop_token stop) override;

    // Set up before use.
    /// Fractions reported, in order, by every download.
    std::vector<double> progressFractions{0.5, 1.0};
    /// Thrown by the next downloads / constructions, one per call, before anything else.
    std::deque<std::exception_ptr> downloadFailures;
    std::deque<std::exception_ptr> constructFailures;
    /// The segments each transcription returns (one result); none without a script.
    Script script;

    /// From now on downloads wait, after reporting their first fraction, until release() or a stop.
    void hold();
    void release();
    /// Makes each held download report the fraction 0.25 once more.
    void pulse();
    /// Blocks until `count` downloads are being held.
    void waitUntilHeld(std::size_t count);
    /// Blocks until `count` downloads have ended because their stop was requested.
    void waitUntilStopped(std::size_t count);

    // Read after use.
    std::vector<velmora::ModelDownloadRequest> downloads() const;
    std::vector<ReceivedConfig> constructions() const;
    std::vector<ReceivedAudio> transcriptions() const;
    /// Downloads that ended because their stop was requested.
    std::size_t stoppedDownloads() const;

private:
    friend class FakePipeline;
    void holdWhileAsked(const DownloadProgress& progress, std::stop_token stop);
    const std::filesystem::path folder_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    bool holding_ = false;
    std::size_t held_ = 0;
    std::uint64_t pulses_ = 0;
    std::vector<velmora::ModelDownloadRequest> downloads_;
    std::vector<ReceivedConfig> constructions_;
    std::vector<ReceivedAudio> transcriptions_;
    std::size_t stoppedDownloads_ = 0;
};

/// A segment with a text and a no-speech probability.
sonavex::TranscriptionSegment engineSegment(std::string text, float noSpeechProb = 0.1f);

} // namespace transcriptiontest
