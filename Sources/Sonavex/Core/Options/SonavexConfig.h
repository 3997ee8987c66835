#pragma once
// Everything the engine needs when it is built: which model and where it comes from (hub repository,
// endpoint, token, local folders), the compute units, how audio input is read, stages that replace the
// engine's own, logging, and whether the models are downloaded, prewarmed and loaded during
// construction. The engine reads it once, while it is being built; later changes do not reach it.
// Stages are shared, not copied: the engine uses the very object a caller put here.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "OrvaneCore/Logging/Logging.h"
#include "Sonavex/Core/Audio/AudioInputOptions.h"
#include "Sonavex/Core/Models/ModelComputeOptions.h"

namespace sonavex {

// The stage interfaces, defined with the stages themselves.
class AudioProcessing;
class FeatureExtracting;
class AudioEncoding;
class TextDecoding;
class LogitsFiltering;
class SegmentSeeking;
class VoiceActivityDetector;

class SonavexConfig {
public:
    SonavexConfig() = default;
    virtual ~SonavexConfig() = default;
    // One configuration object, shared by reference like its stages; `audioInputConfig` refers into it.
    SonavexConfig(const SonavexConfig&) = delete;
    SonavexConfig& operator=(const SonavexConfig&) = delete;

    /// The model variant to set up; without one, the device's default model.
    std::optional<std::string> model;
    /// Base folder of the local model mirror used for downloads.
    std::optional<std::filesystem::path> downloadBase;
    /// Hub repository of the model variants; without one, the engine's default repository.
    std::optional<std::string> modelRepo;
    std::optional<std::string> modelToken;
    /// Without one, the hub's default endpoint.
    std::optional<std::string> modelEndpoint;
    /// A local folder that already holds the model files; used as it is, nothing is downloaded.
    std::optional<std::string> modelFolder;
    /// Folder handed to the engine's tokenizer loading.
    std::optional<std::filesystem::path> tokenizerFolder;
    /// Without a value, ModelComputeOptions' defaults.
    std::optional<ModelComputeOptions> computeOptions;
    std::optional<AudioInputOptions> audioInputConfigStorage;
    /// The same value as audioInputConfigStorage, under the name callers use; without one, all channels
    /// summed and the whole file.
    std::optional<AudioInputOptions>& audioInputConfig = audioInputConfigStorage;
    std::shared_ptr<AudioProcessing> audioProcessor;
    std::shared_ptr<FeatureExtracting> featureExtractor;
    std::shared_ptr<AudioEncoding> audioEncoder;
    std::shared_ptr<TextDecoding> textDecoder;
    /// Extra filters; they run before the built-in ones.
    std::optional<std::vector<std::shared_ptr<LogitsFiltering>>> logitsFilters;
    std::shared_ptr<SegmentSeeking> segmentSeeker;
    std::shared_ptr<VoiceActivityDetector> voiceActivityDetector;
    /// False: the engine logs nothing; true: it logs at `logLevel`.
    bool verbose = true;
    orvane::Logging::LogLevel logLevel = orvane::Logging::LogLevel::info;
    /// True: the models are specialised for the device after setup. No value counts as false.
    std::optional<bool> prewarm;
    /// True: loaded after setup; false: not; no value: loaded only when `modelFolder` is set.
    std::optional<bool> load;
    /// Whether the model is downloaded from the hub when no `modelFolder` is given.
    bool download = true;
    bool useBackgroundDownloadSession = false;
};

} // namespace sonavex
