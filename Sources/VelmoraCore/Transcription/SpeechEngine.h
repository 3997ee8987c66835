#pragma once
// The part of the speech engine the application core stands on: fetch a model variant into the local
// mirror, and build a loaded engine from a configuration. The transcriber reaches the engine only
// through this, so tests plug in a fake and the program plugs in the real facade.

#include "Sonavex/Core/Options/SonavexConfig.h"
#include "VelmoraCore/Transcription/ModelDownloadRequest.h"
#include "VelmoraCore/Transcription/SpeechPipeline.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>

namespace orvane {
class Progress;
}

namespace velmora {

class SpeechEngine {
public:
    /// May be called from any thread, with the download's progress object as it advances.
    using DownloadProgress = std::function<void(const orvane::Progress&)>;

    virtual ~SpeechEngine() = default;

    /// Brings every file of the variant's folder in `request.repository` into the local mirror and
    /// returns that folder. Throws the hub's and the engine's errors.
    virtual std::filesystem::path download(const ModelDownloadRequest& request,
                                           const DownloadProgress& progress, std::stop_token stop) = 0;

    /// Builds an engine from `config`, specialised and loaded as the configuration asks. Throws the
    /// engine's errors when a model or the tokenizer cannot be loaded.
    virtual std::shared_ptr<SpeechPipeline> construct(const sonavex::SonavexConfig& config,
                                                      std::stop_token stop) = 0;
};

/// The engine this program is built with: the Sonavex engine facade.
std::shared_ptr<SpeechEngine> defaultSpeechEngine();

} // namespace velmora
