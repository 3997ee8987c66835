#pragma once
// The engine's front door. It is built from a SonavexConfig, finds the model folder (given, or fetched
// from the model hub), loads or prewarms the three model stages and the tokenizer, and transcribes or
// detects the language of audio arrays and files through the stages it holds. Every stage is held through
// its interface, so a configuration may put its own in the engine's place.
//
// Make it with Sonavex::create (a shared engine: batch workers hold it only weakly). Every operation is
// virtual and the operations call each other virtually, so a subclass's override is used throughout.
// The fields are guarded by one lock, so several transcriptions of one engine may run at once (they share
// the stages, the progress object and the callbacks); loading, unloading and transcribing at the same time
// is the caller's business. Callbacks are never called while the lock is held.

#include "OrvaneCore/Models/ModelState.h"
#include "OrvaneCore/System/Progress.h"
#include "Sonavex/Core/Audio/AudioInputOptions.h"
#include "Sonavex/Core/Models/ModelComputeOptions.h"
#include "Sonavex/Core/Models/ModelSupport.h"
#include "Sonavex/Core/Models/ModelSupportConfig.h"
#include "Sonavex/Core/Models/ModelVariant.h"
#include "Sonavex/Core/Options/DecodingOptions.h"
#include "Sonavex/Core/Options/SonavexConfig.h"
#include "Sonavex/Core/Results/TranscriptionProgress.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Core/Results/TranscriptionSegment.h"
#include "Sonavex/Core/Results/TranscriptionState.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"
#include "Sonavex/Utilities/Errors/Result.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace sonavex {

class AudioProcessing;
class FeatureExtracting;
class AudioEncoding;
class TextDecoding;
class SegmentSeeking;
class VoiceActivityDetector;
class TranscribeTask;
class IncrementalFileStream;

/// Receives each window's new segments.
using SegmentDiscoveryCallback = std::function<void(const std::vector<TranscriptionSegment>&)>;
/// Told of every model state change: (previous state, new state).
using ModelStateCallback =
    std::function<void(std::optional<orvane::ModelState> oldState, orvane::ModelState newState)>;

class Sonavex : public std::enable_shared_from_this<Sonavex> {
public:
    static constexpr int sampleRate = 16000;
    static constexpr int hopLength = 160;
    static constexpr float secondsPerTimeToken = 0.02f;
    /// This system runs on real machines only.
    static constexpr bool isRunningOnSimulator = false;
    /// The model repository used when a configuration names none.
    static constexpr const char* defaultModelRepo = "vevadidaz/sonavex-coreml";

    /// Receives a download's progress object; may be called from any thread.
    using DownloadProgressCallback = std::function<void(const orvane::Progress&)>;
    using TranscriptionResults = std::vector<std::shared_ptr<TranscriptionResult>>;
    /// One input's results, or its failure.
    using TranscriptionOutcome = Result<TranscriptionResults>;
    /// The language code and its log-probability.
    struct DetectedLanguage {
        std::string language;
        std::map<std::string, float> langProbs;
    };

    /// Builds an engine of class `Engine` from `config` and then, in order: sets its models up
    /// (downloading the variant when asked), prewarms them when `prewarm` is true, and loads them when
    /// `load` is true, or absent with a model folder given. Any failure of these steps is thrown.
    template <class Engine = Sonavex>
    static std::shared_ptr<Engine> create(const SonavexConfig& config, std::stop_token stop = {}) {
        auto engine = std::make_shared<Engine>(config);
        engine->prepare(config, stop);
        return engine;
    }

    /// Stores the configuration's values and stages only (see create); sets the process's log level.
    explicit Sonavex(const SonavexConfig& config);
    /// Stops the audio processor's recording.
    virtual ~Sonavex();
    Sonavex(const Sonavex&) = delete;
    Sonavex& operator=(const Sonavex&) = delete;

    // Fields. Getters return copies; setters of modelState and tokenizer act on assignment.

    virtual ModelVariant modelVariant() const;
    virtual void setModelVariant(ModelVariant variant);
    virtual orvane::ModelState modelState() const;
    /// Stores the state, then calls modelStateCallback with (previous, new), also when it is unchanged.
    virtual void setModelState(orvane::ModelState state);
    virtual ModelComputeOptions modelCompute() const;
    virtual void setModelCompute(ModelComputeOptions compute);
    virtual AudioInputOptions audioInputOptions() const;
    virtual void setAudioInputOptions(AudioInputOptions options);
    /// The same value as audioInputOptions.
    virtual AudioInputOptions audioInputConfig() const { return audioInputOptions(); }
    virtual void setAudioInputConfig(AudioInputOptions options) { setAudioInputOptions(std::move(options)); }
    virtual std::shared_ptr<WhisperTokenizer> tokenizer() const;
    /// Stores the tokenizer and hands it (or none) to the current text decoder.
    virtual void setTokenizer(std::shared_ptr<WhisperTokenizer> tokenizer);
    virtual std::shared_ptr<AudioProcessing> audioProcessor() const;
    virtual void setAudioProcessor(std::shared_ptr<AudioProcessing> stage);
    virtual std::shared_ptr<FeatureExtracting> featureExtractor() const;
    virtual void setFeatureExtractor(std::shared_ptr<FeatureExtracting> stage);
    virtual std::shared_ptr<AudioEncoding> audioEncoder() const;
    virtual void setAudioEncoder(std::shared_ptr<AudioEncoding> stage);
    virtual std::shared_ptr<TextDecoding> textDecoder() const;
    virtual void setTextDecoder(std::shared_ptr<TextDecoding> stage);
    virtual std::shared_ptr<SegmentSeeking> segmentSeeker() const;
    virtual void setSegmentSeeker(std::shared_ptr<SegmentSeeking> stage);
    virtual std::shared_ptr<VoiceActivityDetector> voiceActivityDetector() const;
    virtual void setVoiceActivityDetector(std::shared_ptr<VoiceActivityDetector> detector);
    virtual TranscriptionTimings currentTimings() const;
    virtual void setCurrentTimings(const TranscriptionTimings& timings);
    virtual std::shared_ptr<orvane::Progress> progress() const;
    virtual void setProgress(std::shared_ptr<orvane::Progress> progress);
    virtual std::optional<std::filesystem::path> modelFolder() const;
    virtual void setModelFolder(std::optional<std::filesystem::path> folder);
    virtual std::optional<std::filesystem::path> tokenizerFolder() const;
    virtual void setTokenizerFolder(std::optional<std::filesystem::path> folder);
    virtual bool useBackgroundDownloadSession() const;
    virtual void setUseBackgroundDownloadSession(bool use);
    virtual SegmentDiscoveryCallback segmentDiscoveryCallback() const;
    virtual void setSegmentDiscoveryCallback(SegmentDiscoveryCallback callback);
    virtual ModelStateCallback modelStateCallback() const;
    virtual void setModelStateCallback(ModelStateCallback callback);
    virtual TranscriptionStateCallback transcriptionStateCallback() const;
    virtual void setTranscriptionStateCallback(TranscriptionStateCallback callback);

    // Models.

    /// With `modelFolder`: that folder, unexamined. Otherwise, when `download` is set: the variant
    /// `model` (none: the repository's recommendation for this device) of `modelRepo` (none: the default
    /// repository) fetched into the mirror. modelsUnavailable "Model not found. …" when that fails.
    virtual void setupModels(const std::optional<std::string>& model,
                             const std::optional<std::filesystem::path>& downloadBase,
                             const std::optional<std::string>& modelRepo,
                             const std::optional<std::string>& modelToken,
                             const std::optional<std::string>& modelFolder, bool download,
                             const std::string& remoteConfigName, const std::string& endpoint,
                             std::stop_token stop = {});
    /// loadModels(true): each model is loaded for its compute units and released again.
    virtual void prewarmModels(std::stop_token stop = {});
    /// Loads the three models of the model folder (again, when they are loaded), then the tokenizer.
    /// modelsUnavailable without a folder or when a model file is missing; the runtime's errors unchanged.
    /// A failure leaves the state at loading (prewarming) and keeps what was loaded before it.
    virtual void loadModels(bool prewarmMode = false, std::stop_token stop = {});
    /// Loads the tokenizer of the loaded model's size, unless one is set. tokenizerUnavailable when the
    /// decoder or the encoder cannot tell its size.
    virtual void loadTokenizerIfNeeded(std::stop_token stop = {});
    /// Releases the three models; the tokenizer, the variant, the folder and the timings stay.
    virtual void unloadModels();
    /// Stops recording and resets the timings.
    virtual void clearState();
    /// Sends every log line of the process to `callback` (none: removes the sink).
    virtual void loggingCallback(std::function<void(const std::string&)> callback);

    // Language detection: the first window's language from one decoder step. Models load first when they
    // are not loaded.

    /// The first 30 s of the file, all channels summed. loadAudioFailed "Resource path does not exist …"
    /// before any model loads.
    virtual DetectedLanguage detectLanguage(const std::string& audioPath, std::stop_token stop = {});
    /// 16 kHz mono samples; only the first window counts, a shorter array is padded. decodingFailed
    /// "Language detection not supported for this model" (English-only), tokenizerUnavailable,
    /// transcriptionFailed "Audio samples are nil" (empty array) / "Mel output is nil" / "Encoder output is
    /// nil", decodingFailed "Language detection failed" for any failure of the decoder's step.
    virtual DetectedLanguage detectLangauge(const std::vector<float>& audioArray, std::stop_token stop = {});

    // Transcription. Results are relative to each input's first sample unless said otherwise. The batch
    // forms never throw: each input carries its own outcome, in input order.

    /// Several files with the same options (none: the engine's audioInputOptions). Whole files load side
    /// by side and are transcribed as one batch; streamed files run in batches of the options'
    /// concurrentWorkerCount. A file that cannot be loaded fails alone.
    virtual std::vector<std::optional<TranscriptionResults>>
    transcribe(const std::vector<std::string>& audioPaths, const std::optional<AudioInputOptions>& audioInputOptions,
               const std::optional<DecodingOptions>& decodeOptions,
               const TranscriptionProgressCallback& callback = {}, std::stop_token stop = {});
    virtual std::vector<TranscriptionOutcome>
    transcribeWithResults(const std::vector<std::string>& audioPaths,
                          const std::optional<AudioInputOptions>& audioInputOptions,
                          const std::optional<DecodingOptions>& decodeOptions,
                          const TranscriptionProgressCallback& callback = {}, std::stop_token stop = {});
    /// Several arrays with the same options, through transcribeWithOptions.
    virtual std::vector<std::optional<TranscriptionResults>>
    transcribe(const std::vector<std::vector<float>>& audioArrays, const std::optional<DecodingOptions>& decodeOptions,
               const TranscriptionProgressCallback& callback = {}, std::stop_token stop = {});
    virtual std::vector<TranscriptionOutcome>
    transcribeWithResults(const std::vector<std::vector<float>>& audioArrays,
                          const std::optional<DecodingOptions>& decodeOptions,
                          const TranscriptionProgressCallback& callback = {}, std::stop_token stop = {});
    /// The batch core: arrays in batches of the largest concurrentWorkerCount of the options (0: one
    /// batch), each batch side by side; the progress callback sees each input's index as windowId; with
    /// seek offsets the engine's segment callback gets each input's segments moved by its offset.
    /// Unbalanced lists give one single failure.
    virtual std::vector<TranscriptionOutcome>
    transcribeWithOptions(const std::vector<std::vector<float>>& audioArrays,
                          const std::vector<std::optional<DecodingOptions>>& decodeOptionsArray,
                          const std::optional<std::vector<int64_t>>& seekOffsets = std::nullopt,
                          const TranscriptionProgressCallback& callback = {}, std::stop_token stop = {});
    /// One file, whole (results of transcribe(audioArray)) or streamed in pieces (one result per piece,
    /// placed in the whole file and ordered by seekTime). Reports convertingAudio / transcribing / finished.
    virtual TranscriptionResults transcribe(const std::string& audioPath,
                                            const std::optional<AudioInputOptions>& audioInputOptions,
                                            const std::optional<DecodingOptions>& decodeOptions,
                                            const TranscriptionProgressCallback& callback = {},
                                            std::stop_token stop = {});
    /// transcribe(audioArray, 0, …).
    virtual TranscriptionResults transcribe(const std::vector<float>& audioArray,
                                            const std::optional<DecodingOptions>& decodeOptions,
                                            const TranscriptionProgressCallback& callback = {},
                                            const SegmentDiscoveryCallback& segmentCallback = {},
                                            std::stop_token stop = {});
    /// One array that starts at `audioArrayOffset` of a longer audio. Longer than a window with voice
    /// chunking asked: cut at pauses and transcribed as a batch, one result per chunk placed in this array
    /// (failed chunks dropped); otherwise one task and one result. The segment callback (none: the
    /// engine's) gets the segments placed in the longer audio.
    virtual TranscriptionResults transcribe(const std::vector<float>& audioArray, int64_t audioArrayOffset,
                                            const std::optional<DecodingOptions>& decodeOptions,
                                            const TranscriptionProgressCallback& callback = {},
                                            const SegmentDiscoveryCallback& segmentCallback = {},
                                            std::stop_token stop = {});
    /// The task a run uses; a subclass may return its own.
    virtual std::unique_ptr<TranscribeTask>
    setupTranscribeTask(const TranscriptionTimings& currentTimings, std::shared_ptr<orvane::Progress> progress,
                        std::shared_ptr<AudioProcessing> audioProcessor, std::shared_ptr<AudioEncoding> audioEncoder,
                        std::shared_ptr<FeatureExtracting> featureExtractor,
                        std::shared_ptr<SegmentSeeking> segmentSeeker, std::shared_ptr<TextDecoding> textDecoder,
                        std::shared_ptr<WhisperTokenizer> tokenizer);
    /// Loads the models unless loaded, then runs one task over the whole array. tokenizerUnavailable;
    /// orvane::CancellationError on a stop (the progress object is then replaced); the task's errors.
    virtual TranscriptionResults runTranscribeTask(const std::vector<float>& audioArray,
                                                   const std::optional<DecodingOptions>& decodeOptions,
                                                   const TranscriptionProgressCallback& callback = {},
                                                   const SegmentDiscoveryCallback& segmentCallback = {},
                                                   std::stop_token stop = {});

    // Model discovery and download (no engine needed).

    /// The hardware model of this machine.
    static std::string deviceName();
    /// The built-in table's row for this device.
    static ModelSupport recommendedModels();
    /// The repository's support file (fetched into the mirror), else the built-in table; never throws.
    static ModelSupportConfig fetchModelSupportConfig(const std::string& repo,
                                                      const std::optional<std::filesystem::path>& downloadBase,
                                                      const std::optional<std::string>& token,
                                                      const std::string& remoteConfigName,
                                                      const std::string& endpoint, std::stop_token stop = {});
    /// fetchModelSupportConfig's row for this device; never throws.
    static ModelSupport recommendedRemoteModels(const std::string& repo,
                                                const std::optional<std::filesystem::path>& downloadBase,
                                                const std::optional<std::string>& token,
                                                const std::string& remoteConfigName, const std::string& endpoint,
                                                std::stop_token stop = {});
    /// The supported names of this device's row that match one of the patterns, in display order.
    static std::vector<std::string> fetchAvailableModels(const std::string& repo,
                                                         const std::vector<std::string>& matching,
                                                         const std::optional<std::filesystem::path>& downloadBase,
                                                         const std::optional<std::string>& token,
                                                         const std::string& remoteConfigName,
                                                         const std::string& endpoint, std::stop_token stop = {});
    /// Fetches the repository folder whose name ends with `variant` ("openai" folders win a tie) into the
    /// mirror and returns it. When the repository holds no folder of this runtime's models, a known
    /// variant is built from its public checkpoint instead (see CheckpointSource). modelsUnavailable
    /// "No models found matching …" / "Multiple models found matching …"; the hub's errors unchanged,
    /// except that when the hub cannot be reached a complete local copy of the variant is returned, and
    /// an incomplete one gives a network error that also says what it lacks.
    static std::filesystem::path download(const std::string& variant,
                                          const std::optional<std::filesystem::path>& downloadBase,
                                          bool useBackgroundSession, const std::string& repo,
                                          const std::optional<std::string>& token, const std::string& endpoint,
                                          const DownloadProgressCallback& progressCallback = {},
                                          std::stop_token stop = {});

protected:
    /// The set-up, prewarm and load steps of create.
    void prepare(const SonavexConfig& config, std::stop_token stop);

    /// Runs `change` on the timings under the lock.
    void modifyCurrentTimings(const std::function<void(TranscriptionTimings&)>& change);
    /// Samples of one model window (the mel stage's, else 30 s).
    int64_t windowSamples() const;
    /// The detector that cuts long audio: the engine's, else the default energy detector.
    std::shared_ptr<VoiceActivityDetector> chunkingDetector() const;
    /// Calls the transcription state callback when one is set.
    void reportState(TranscriptionState state) const;

private:
    /// The pieces of a streamed file one after another, each placed in the file.
    TranscriptionResults transcribeFileStream(IncrementalFileStream& audioStream,
                                              const std::optional<DecodingOptions>& decodeOptions,
                                              const TranscriptionProgressCallback& callback, bool emitStateCallbacks,
                                              std::stop_token stop);
    /// transcribeWithOptions with the receiver of the inputs' segments (none: the engine's callback).
    std::vector<TranscriptionOutcome>
    transcribeBatch(const std::vector<std::vector<float>>& audioArrays,
                    const std::vector<std::optional<DecodingOptions>>& decodeOptionsArray,
                    const std::optional<std::vector<int64_t>>& seekOffsets,
                    const TranscriptionProgressCallback& callback,
                    const std::optional<SegmentDiscoveryCallback>& receiver, std::stop_token stop);

    mutable std::mutex mutex_;
    ModelVariant modelVariant_ = ModelVariant::tiny;
    orvane::ModelState modelState_ = orvane::ModelState::unloaded;
    ModelComputeOptions modelCompute_;
    AudioInputOptions audioInputOptions_;
    std::shared_ptr<WhisperTokenizer> tokenizer_;
    std::shared_ptr<AudioProcessing> audioProcessor_;
    std::shared_ptr<FeatureExtracting> featureExtractor_;
    std::shared_ptr<AudioEncoding> audioEncoder_;
    std::shared_ptr<TextDecoding> textDecoder_;
    std::shared_ptr<SegmentSeeking> segmentSeeker_;
    std::shared_ptr<VoiceActivityDetector> voiceActivityDetector_;
    TranscriptionTimings currentTimings_;
    std::shared_ptr<orvane::Progress> progress_;
    std::optional<std::filesystem::path> modelFolder_;
    std::optional<std::filesystem::path> tokenizerFolder_;
    bool useBackgroundDownloadSession_ = false;
    SegmentDiscoveryCallback segmentDiscoveryCallback_;
    ModelStateCallback modelStateCallback_;
    TranscriptionStateCallback transcriptionStateCallback_;
};

} // namespace sonavex
