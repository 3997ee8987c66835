#include "Sonavex/Core/Sonavex.h"

#include "OrvaneCore/Concurrency/LockedAccess.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Constants.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/FrontEnd/AudioEncoder.h"
#include "Sonavex/Core/FrontEnd/FeatureExtractor.h"
#include "Sonavex/Core/Text/SegmentSeeker.h"
#include "Sonavex/Utilities/Logging/Logging.h"

namespace sonavex {

Sonavex::Sonavex(const SonavexConfig& config)
    : modelCompute_(config.computeOptions.value_or(ModelComputeOptions())),
      audioInputOptions_(config.audioInputConfig.value_or(AudioInputOptions())),
      audioProcessor_(config.audioProcessor ? config.audioProcessor : std::make_shared<AudioProcessor>()),
      featureExtractor_(config.featureExtractor ? config.featureExtractor
                                                : std::make_shared<FeatureExtractor>()),
      audioEncoder_(config.audioEncoder ? config.audioEncoder : std::make_shared<AudioEncoder>()),
      textDecoder_(config.textDecoder ? config.textDecoder : std::make_shared<TextDecoder>()),
      segmentSeeker_(config.segmentSeeker ? config.segmentSeeker : std::make_shared<SegmentSeeker>()),
      voiceActivityDetector_(config.voiceActivityDetector),
      progress_(orvane::Progress::create(0)),
      tokenizerFolder_(config.tokenizerFolder ? config.tokenizerFolder : config.downloadBase),
      useBackgroundDownloadSession_(config.useBackgroundDownloadSession) {
    if (config.logitsFilters) {
        textDecoder_->setLogitsFilters(config.logitsFilters);
    }
    Logging::updateLogLevel(config.verbose ? config.logLevel : Logging::LogLevel::none);
}

Sonavex::~Sonavex() {
    if (audioProcessor_) {
        audioProcessor_->stopRecording();
    }
}

void Sonavex::prepare(const SonavexConfig& config, std::stop_token stop) {
    setupModels(config.model, config.downloadBase, config.modelRepo, config.modelToken, config.modelFolder,
                config.download, std::string(Constants::defaultRemoteConfigName),
                config.modelEndpoint.value_or(std::string(Constants::defaultRemoteEndpoint)), stop);
    if (config.prewarm.value_or(false)) {
        Logging::info("Prewarming models...");
        prewarmModels(stop);
    }
    if (config.load.value_or(config.modelFolder.has_value())) {
        Logging::info("Loading models...");
        loadModels(false, stop);
    }
}

ModelVariant Sonavex::modelVariant() const {
    return orvane::lockedCopy(mutex_, modelVariant_);
}

void Sonavex::setModelVariant(ModelVariant variant) {
    orvane::lockedStore(mutex_, modelVariant_, variant);
}

orvane::ModelState Sonavex::modelState() const {
    return orvane::lockedCopy(mutex_, modelState_);
}

void Sonavex::setModelState(orvane::ModelState state) {
    orvane::ModelState previous;
    ModelStateCallback callback;
    {
        std::lock_guard lock(mutex_);
        previous = modelState_;
        modelState_ = state;
        callback = modelStateCallback_;
    }
    if (callback) {
        callback(previous, state);
    }
}

ModelComputeOptions Sonavex::modelCompute() const {
    return orvane::lockedCopy(mutex_, modelCompute_);
}

void Sonavex::setModelCompute(ModelComputeOptions compute) {
    orvane::lockedStore(mutex_, modelCompute_, compute);
}

AudioInputOptions Sonavex::audioInputOptions() const {
    return orvane::lockedCopy(mutex_, audioInputOptions_);
}

void Sonavex::setAudioInputOptions(AudioInputOptions options) {
    orvane::lockedStore(mutex_, audioInputOptions_, std::move(options));
}

std::shared_ptr<WhisperTokenizer> Sonavex::tokenizer() const {
    return orvane::lockedCopy(mutex_, tokenizer_);
}

void Sonavex::setTokenizer(std::shared_ptr<WhisperTokenizer> tokenizer) {
    std::shared_ptr<TextDecoding> decoder;
    {
        std::lock_guard lock(mutex_);
        tokenizer_ = tokenizer;
        decoder = textDecoder_;
    }
    decoder->setTokenizer(std::move(tokenizer));
}

std::shared_ptr<AudioProcessing> Sonavex::audioProcessor() const {
    return orvane::lockedCopy(mutex_, audioProcessor_);
}

void Sonavex::setAudioProcessor(std::shared_ptr<AudioProcessing> stage) {
    orvane::lockedStore(mutex_, audioProcessor_, std::move(stage));
}

std::shared_ptr<FeatureExtracting> Sonavex::featureExtractor() const {
    return orvane::lockedCopy(mutex_, featureExtractor_);
}

void Sonavex::setFeatureExtractor(std::shared_ptr<FeatureExtracting> stage) {
    orvane::lockedStore(mutex_, featureExtractor_, std::move(stage));
}

std::shared_ptr<AudioEncoding> Sonavex::audioEncoder() const {
    return orvane::lockedCopy(mutex_, audioEncoder_);
}

void Sonavex::setAudioEncoder(std::shared_ptr<AudioEncoding> stage) {
    orvane::lockedStore(mutex_, audioEncoder_, std::move(stage));
}

std::shared_ptr<TextDecoding> Sonavex::textDecoder() const {
    return orvane::lockedCopy(mutex_, textDecoder_);
}

void Sonavex::setTextDecoder(std::shared_ptr<TextDecoding> stage) {
    orvane::lockedStore(mutex_, textDecoder_, std::move(stage));
}

std::shared_ptr<SegmentSeeking> Sonavex::segmentSeeker() const {
    return orvane::lockedCopy(mutex_, segmentSeeker_);
}

void Sonavex::setSegmentSeeker(std::shared_ptr<SegmentSeeking> stage) {
    orvane::lockedStore(mutex_, segmentSeeker_, std::move(stage));
}

std::shared_ptr<VoiceActivityDetector> Sonavex::voiceActivityDetector() const {
    return orvane::lockedCopy(mutex_, voiceActivityDetector_);
}

void Sonavex::setVoiceActivityDetector(std::shared_ptr<VoiceActivityDetector> detector) {
    orvane::lockedStore(mutex_, voiceActivityDetector_, std::move(detector));
}

TranscriptionTimings Sonavex::currentTimings() const {
    return orvane::lockedCopy(mutex_, currentTimings_);
}

void Sonavex::setCurrentTimings(const TranscriptionTimings& timings) {
    orvane::lockedStore(mutex_, currentTimings_, timings);
}

void Sonavex::modifyCurrentTimings(const std::function<void(TranscriptionTimings&)>& change) {
    std::lock_guard lock(mutex_);
    change(currentTimings_);
}

std::shared_ptr<orvane::Progress> Sonavex::progress() const {
    return orvane::lockedCopy(mutex_, progress_);
}

void Sonavex::setProgress(std::shared_ptr<orvane::Progress> progress) {
    orvane::lockedStore(mutex_, progress_, std::move(progress));
}

std::optional<std::filesystem::path> Sonavex::modelFolder() const {
    return orvane::lockedCopy(mutex_, modelFolder_);
}

void Sonavex::setModelFolder(std::optional<std::filesystem::path> folder) {
    orvane::lockedStore(mutex_, modelFolder_, std::move(folder));
}

std::optional<std::filesystem::path> Sonavex::tokenizerFolder() const {
    return orvane::lockedCopy(mutex_, tokenizerFolder_);
}

void Sonavex::setTokenizerFolder(std::optional<std::filesystem::path> folder) {
    orvane::lockedStore(mutex_, tokenizerFolder_, std::move(folder));
}

bool Sonavex::useBackgroundDownloadSession() const {
    return orvane::lockedCopy(mutex_, useBackgroundDownloadSession_);
}

void Sonavex::setUseBackgroundDownloadSession(bool use) {
    orvane::lockedStore(mutex_, useBackgroundDownloadSession_, use);
}

SegmentDiscoveryCallback Sonavex::segmentDiscoveryCallback() const {
    return orvane::lockedCopy(mutex_, segmentDiscoveryCallback_);
}

void Sonavex::setSegmentDiscoveryCallback(SegmentDiscoveryCallback callback) {
    orvane::lockedStore(mutex_, segmentDiscoveryCallback_, std::move(callback));
}

ModelStateCallback Sonavex::modelStateCallback() const {
    return orvane::lockedCopy(mutex_, modelStateCallback_);
}

void Sonavex::setModelStateCallback(ModelStateCallback callback) {
    orvane::lockedStore(mutex_, modelStateCallback_, std::move(callback));
}

TranscriptionStateCallback Sonavex::transcriptionStateCallback() const {
    return orvane::lockedCopy(mutex_, transcriptionStateCallback_);
}

void Sonavex::setTranscriptionStateCallback(TranscriptionStateCallback callback) {
    orvane::lockedStore(mutex_, transcriptionStateCallback_, std::move(callback));
}

void Sonavex::clearState() {
    audioProcessor()->stopRecording();
    setCurrentTimings(TranscriptionTimings());
}

void Sonavex::loggingCallback(std::function<void(const std::string&)> callback) {
    Logging::updateCallback(std::move(callback));
}

} // namespace sonavex
