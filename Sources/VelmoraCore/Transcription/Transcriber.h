#pragma once
// One speech engine loaded for one model variant, turning one track of a recording into timed Japanese
// text. Construction downloads the variant when the local mirror lacks it, reports preparation
// progress and recovers once from a damaged local copy. Transcription chunks the track by voice
// activity itself and makes exactly one text piece per chunk that holds speech.
// Nothing changes after construction; one transcription runs at a time on an instance.

#include "VelmoraCore/Transcription/EngineAccess.h"
#include "VelmoraCore/Transcription/SampleRange.h"
#include "VelmoraCore/Transcription/TranscriberPreparationProgress.h"
#include "VelmoraCore/Transcripts/TranscriptSegment.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

class Transcriber {
public:
    /// May be called from any thread.
    using ProgressCallback = std::function<void(const TranscriberPreparationProgress&)>;
    using SegmentCallback = std::function<void(const TranscriptSegment&)>;

    static constexpr std::string_view modelRepository = "vevadidaz/sonavex-coreml";
    /// The repository's folder in the local mirror, under the user's Documents folder.
    static constexpr std::string_view cacheFolder = "huggingface/models/vevadidaz/sonavex-coreml";
    /// A variant's folder in the cache folder is this followed by the model name.
    static constexpr std::string_view variantFolderPrefix = "openai_whisper-";
    /// Engine segments above this no-speech probability are dropped.
    static constexpr float maxNoSpeechProbability = 0.6f;

    /// Downloads (when needed), specialises and loads `modelName`. When the first attempt fails it is
    /// tried once more, and the second attempt's error is thrown; when it was the local files that failed
    /// to load, the variant's cached folder is deleted before that. A failed download leaves the cache
    /// alone. Throws orvane::CancellationError, without a retry, once `stop` is requested.
    Transcriber(const std::string& modelName, const ProgressCallback& onProgress,
                const EngineAccess& access = {}, std::stop_token stop = {});

    /// The padded voiced chunks of the file's track, transcribed in order: one segment per chunk whose
    /// kept engine texts are not blank, times those of the chunk. `onSegment` gets each segment right
    /// after it is added. Prints the debug lines to standard output. Throws the loader's and the engine's
    /// errors unchanged; orvane::CancellationError once `stop` is requested.
    std::vector<TranscriptSegment> transcribe(const std::string& audioPath, float energyThreshold,
                                              const SegmentCallback& onSegment = {},
                                              std::stop_token stop = {}) const;

    /// A track loaded whole (16 kHz mono, channels summed) with its padded chunks.
    struct Track {
        std::vector<float> samples;
        std::vector<SampleRange> chunks;
    };
    /// Loads the file and plans its chunks, printing the first three debug lines to `out`; no model is
    /// needed for this. A file that ends before its stated length is planned as far as it goes, with a
    /// warning on standard error naming both lengths.
    static Track planTrack(const std::string& audioPath, float energyThreshold, std::ostream& out);

    /// The options every chunk is transcribed with.
    static sonavex::DecodingOptions decodingOptions();
    /// Where the variant lives in the local mirror (the folder a failed load deletes).
    static std::filesystem::path cachedVariantFolder(const std::string& modelName);

private:
    enum class LoadStep { download, construct };
    static std::shared_ptr<SpeechPipeline> loadWithOneRetry(const std::string& modelName,
                                                            const ProgressCallback& onProgress,
                                                            const EngineAccess& access, std::stop_token stop);
    static std::shared_ptr<SpeechPipeline> load(const std::string& modelName,
                                                const ProgressCallback& onProgress,
                                                const EngineAccess& access, std::stop_token stop,
                                                LoadStep& step);
    static void removeCachedModel(const std::string& modelName);

    const std::shared_ptr<SpeechPipeline> pipe_;
};

} // namespace velmora
