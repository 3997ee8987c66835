// The program's engine: the Sonavex facade. Downloads go through its static download, a constructed
// engine is one facade built from the configuration, and each chunk goes through its array entry.

#include "Sonavex/Core/Sonavex.h"
#include "VelmoraCore/Transcription/ChunkPlanner.h"
#include "VelmoraCore/Transcription/SpeechEngine.h"

namespace velmora {

static_assert(engineSampleRate == sonavex::Sonavex::sampleRate, "the chunk planner cuts at the engine's rate");

namespace {

class FacadePipeline final : public SpeechPipeline {
public:
    explicit FacadePipeline(std::shared_ptr<sonavex::Sonavex> engine) : engine_(std::move(engine)) {}

    std::vector<std::shared_ptr<sonavex::TranscriptionResult>>
    transcribe(std::span<const float> audioArray, const sonavex::DecodingOptions& decodeOptions,
               std::stop_token stop) override {
        return engine_->transcribe(std::vector<float>(audioArray.begin(), audioArray.end()), decodeOptions, {}, {},
                                   stop);
    }

private:
    std::shared_ptr<sonavex::Sonavex> engine_;
};

class FacadeSpeechEngine final : public SpeechEngine {
public:
    std::filesystem::path download(const ModelDownloadRequest& request, const DownloadProgress& progress,
                                   std::stop_token stop) override {
        return sonavex::Sonavex::download(request.variant, request.downloadBase, request.useBackgroundSession,
                                          request.repository, request.token, request.endpoint, progress, stop);
    }

    std::shared_ptr<SpeechPipeline> construct(const sonavex::SonavexConfig& config, std::stop_token stop) override {
        return std::make_shared<FacadePipeline>(sonavex::Sonavex::create(config, stop));
    }
};

} // namespace

std::shared_ptr<SpeechEngine> defaultSpeechEngine() {
    static const auto engine = std::make_shared<FacadeSpeechEngine>();
    return engine;
}

} // namespace velmora
