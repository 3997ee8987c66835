// The program's engine. The engine facade is not part of this build yet, so the default engine refuses
// every call with an error that names what is missing instead of pretending to transcribe.

#include "VelmoraCore/AppError.h"
#include "VelmoraCore/Transcription/SpeechEngine.h"

namespace velmora {

namespace {

AppError engineUnavailable() {
    return AppError("engineUnavailable",
                    "no speech engine in this build: the Sonavex engine facade (model download, loading and "
                    "transcription) is not available yet");
}

class UnavailableSpeechEngine final : public SpeechEngine {
public:
    std::filesystem::path download(const ModelDownloadRequest&, const DownloadProgress&,
                                   std::stop_token) override {
        throw engineUnavailable();
    }
    std::shared_ptr<SpeechPipeline> construct(const sonavex::SonavexConfig&, std::stop_token) override {
        throw engineUnavailable();
    }
};

} // namespace

std::shared_ptr<SpeechEngine> defaultSpeechEngine() {
    static const auto engine = std::make_shared<UnavailableSpeechEngine>();
    return engine;
}

} // namespace velmora
