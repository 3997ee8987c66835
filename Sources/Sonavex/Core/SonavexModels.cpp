// The engine's model set-up, loading, prewarming, tokenizer loading and unloading.

#include "Sonavex/Core/Sonavex.h"

#include "OrvaneCore/Errors/ErrorDescription.h"
#include "OrvaneCore/Models/ModelUtilities.h"
#include "Sonavex/Core/Decoding/TextDecoding.h"
#include "Sonavex/Core/FrontEnd/AudioEncoding.h"
#include "Sonavex/Core/FrontEnd/FeatureExtracting.h"
#include "Sonavex/Core/WhisperMLModel.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "Sonavex/Utilities/Formats/NumberFormat.h"
#include "Sonavex/Utilities/Logging/Logging.h"
#include "Sonavex/Utilities/Models/ModelUtilities.h"

#include "Platform/ML/Kernels/Packed/BfloatRoad.h"

#include <chrono>
#include <mutex>

namespace sonavex {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What a failed download says inside the set-up's message: an engine error's description, else what().
std::string describeCurrentError() {
    try {
        throw;
    } catch (const WhisperError& error) {
        return error.description();
    } catch (...) {
        return orvane::describeCurrentException();
    }
}

} // namespace

void Sonavex::setupModels(const std::optional<std::string>& model,
                          const std::optional<std::filesystem::path>& downloadBase,
                          const std::optional<std::string>& modelRepo, const std::optional<std::string>& modelToken,
                          const std::optional<std::string>& modelFolder, bool download,
                          const std::string& remoteConfigName, const std::string& endpoint, std::stop_token stop) {
    if (modelFolder) {
        setModelFolder(std::filesystem::path(*modelFolder));
        return;
    }
    if (!download) {
        return;
    }
    const std::string repo = modelRepo.value_or(defaultModelRepo);
    const std::string variant =
        model ? *model
              : recommendedRemoteModels(repo, downloadBase, modelToken, remoteConfigName, endpoint, stop)
                    .defaultModel;
    try {
        setModelFolder(Sonavex::download(variant, downloadBase, useBackgroundDownloadSession(), repo, modelToken,
                                         endpoint, {}, stop));
    } catch (...) {
        throw WhisperError::modelsUnavailable(
            "Model not found. Please check the model or repo name and try again.\nError: " +
            describeCurrentError());
    }
}

void Sonavex::prewarmModels(std::stop_token stop) { loadModels(true, stop); }

namespace {

// Which instructions run the encoder's reduced-precision products is fixed by the processor for the whole
// process: said once, with the first encoder that may use them.
void logBfloatRoadOnce(ml::ComputeUnits computeUnits) {
    static std::once_flag once;
    if (computeUnits == ml::ComputeUnits::cpuOnly)
        return;
    std::call_once(once, [] {
        Logging::info("Audio encoder reduced precision: " +
                      std::string(ml::kernels::bfloatRoadName(ml::kernels::bestBfloatRoad())));
    });
}

// Loads a stage's model and returns the seconds it took.
double timedLoad(WhisperMLModel& stage, const std::filesystem::path& location, ml::ComputeUnits computeUnits,
                 bool prewarmMode) {
    const auto start = std::chrono::steady_clock::now();
    stage.loadModel(location, computeUnits, prewarmMode);
    return secondsSince(start);
}

} // namespace

void Sonavex::loadModels(bool prewarmMode, std::stop_token stop) {
    setModelState(prewarmMode ? orvane::ModelState::prewarming : orvane::ModelState::loading);
    const auto start = std::chrono::steady_clock::now();
    const auto folder = modelFolder();
    if (!folder) {
        throw WhisperError::modelsUnavailable("Model folder is not set.");
    }
    Logging::debug("Loading models from " + folder->string() +
                   " with prewarmMode: " + (prewarmMode ? "true" : "false"));

    const auto melURL = orvane::ModelUtilities::detectModelURL(*folder, "MelSpectrogram");
    const auto encoderURL = orvane::ModelUtilities::detectModelURL(*folder, "AudioEncoder");
    const auto decoderURL = orvane::ModelUtilities::detectModelURL(*folder, "TextDecoder");
    for (const auto& url : {melURL, encoderURL, decoderURL}) {
        if (!std::filesystem::exists(url)) {
            throw WhisperError::modelsUnavailable("Model file not found at " + url.string());
        }
    }
    const ModelComputeOptions compute = modelCompute();

    // A caller's own stage (not one of the engine's model stages) is left alone.
    const auto mel = featureExtractor();
    if (auto* stage = dynamic_cast<WhisperMLModel*>(mel.get())) {
        Logging::debug("Loading feature extractor");
        stage->loadModel(melURL, compute.melCompute, prewarmMode);
        Logging::debug("Loaded feature extractor");
    }
    const auto decoder = textDecoder();
    if (auto* stage = dynamic_cast<WhisperMLModel*>(decoder.get())) {
        Logging::debug("Loading text decoder");
        const double seconds = timedLoad(*stage, decoderURL, compute.textDecoderCompute, prewarmMode);
        modifyCurrentTimings([&](TranscriptionTimings& timings) {
            (prewarmMode ? timings.decoderSpecializationTime : timings.decoderLoadTime) = seconds;
        });
        Logging::debug("Loaded text decoder in " + formatNumber("%.2f", seconds) + "s");
    }
    const auto encoder = audioEncoder();
    if (auto* stage = dynamic_cast<WhisperMLModel*>(encoder.get())) {
        Logging::debug("Loading audio encoder");
        const double seconds = timedLoad(*stage, encoderURL, compute.audioEncoderCompute, prewarmMode);
        modifyCurrentTimings([&](TranscriptionTimings& timings) {
            (prewarmMode ? timings.encoderSpecializationTime : timings.encoderLoadTime) = seconds;
        });
        Logging::debug("Loaded audio encoder in " + formatNumber("%.2f", seconds) + "s");
        logBfloatRoadOnce(compute.audioEncoderCompute);
    }

    if (prewarmMode) {
        setModelState(orvane::ModelState::prewarmed);
        const double seconds = secondsSince(start);
        modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.prewarmLoadTime = seconds; });
        return;
    }
    loadTokenizerIfNeeded(stop);
    setModelState(orvane::ModelState::loaded);
    double loading = 0;
    modifyCurrentTimings([&](TranscriptionTimings& timings) {
        timings.modelLoading = secondsSince(start) + timings.prewarmLoadTime;
        loading = timings.modelLoading;
    });
    Logging::info("Loaded models for whisper size: " + std::string(description(modelVariant())) + " in " +
                  formatNumber("%.2f", loading) + "s");
}

void Sonavex::loadTokenizerIfNeeded(std::stop_token stop) {
    if (tokenizer()) {
        Logging::debug("Tokenizer already exists on Sonavex, skipping load");
        return;
    }
    const auto decoder = textDecoder();
    const auto logitsSize = decoder->logitsSize();
    const auto embedSize = audioEncoder()->embedSize();
    if (!logitsSize || !embedSize) {
        throw WhisperError::tokenizerUnavailable("Tokenizer is unavailable");
    }
    decoder->setIsModelMultilingual(*logitsSize != 51864);
    const ModelVariant variant = ModelUtilities::detectVariant(*logitsSize, *embedSize);
    setModelVariant(variant);
    Logging::debug("Loading tokenizer for " + std::string(description(variant)));
    const auto start = std::chrono::steady_clock::now();

    std::vector<std::filesystem::path> searchPaths;
    if (const auto folder = modelFolder()) {
        searchPaths = {*folder, *folder / "models" / ModelUtilities::tokenizerNameForVariant(variant)};
    }
    auto loaded =
        ModelUtilities::loadTokenizer(variant, tokenizerFolder(), searchPaths, useBackgroundDownloadSession(), stop);
    const double seconds = secondsSince(start);
    modifyCurrentTimings([&](TranscriptionTimings& timings) { timings.tokenizerLoadTime = seconds; });
    setTokenizer(std::move(loaded));
    Logging::debug("Loaded tokenizer in " + formatNumber("%.2f", seconds) + "s");
}

void Sonavex::unloadModels() {
    setModelState(orvane::ModelState::unloading);
    // The engine keeps the stages alive; a caller's own stage is left alone.
    for (auto* stage : {dynamic_cast<WhisperMLModel*>(featureExtractor().get()),
                        dynamic_cast<WhisperMLModel*>(audioEncoder().get()),
                        dynamic_cast<WhisperMLModel*>(textDecoder().get())}) {
        if (stage) {
            stage->unloadModel();
        }
    }
    setModelState(orvane::ModelState::unloaded);
    Logging::info("Unloaded all models");
}

} // namespace sonavex
