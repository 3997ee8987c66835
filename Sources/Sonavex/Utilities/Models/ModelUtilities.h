#pragma once
// The engine's model helpers: a device's model support, the Whisper tokenizer of a model size (local
// folders first, else the model hub), the size of a loaded model from its dimensions, the tokenizer
// repository of a size, and model folder names ordered for display.

#include <filesystem>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "Sonavex/Core/Models/ModelSupport.h"
#include "Sonavex/Core/Models/ModelVariant.h"
#include "Sonavex/Core/Tokenizer/WhisperTokenizer.h"

namespace sonavex {

class ModelSupportConfig;

class ModelUtilities {
public:
    /// The support of `deviceName` in `config`, or in the built-in table when there is none.
    static ModelSupport modelSupport(const std::string& deviceName, const ModelSupportConfig* config = nullptr);

    /// Looks for "tokenizer.json" in the hub mirror of "openai/whisper-<size>" (based on `tokenizerFolder`,
    /// else the hub's default base), then in `tokenizerFolder`, then in each additional path, logging each
    /// look at debug level; loads the first found, and downloads the repository when none is found or the
    /// local files fail to load. When the download fails too: WhisperError::tokenizerUnavailable naming the
    /// folder looked in (the first additional path, else `tokenizerFolder`, else the mirror) and what was
    /// wrong there, followed by the hub's reason when the hub was asked (not when offline). A stop request
    /// throws CancellationError.
    static std::shared_ptr<WhisperTokenizer> loadTokenizer(
        ModelVariant variant, const std::optional<std::filesystem::path>& tokenizerFolder = std::nullopt,
        const std::vector<std::filesystem::path>& additionalSearchPaths = {}, bool useBackgroundSession = false,
        std::stop_token stop = {});

    /// The size from the decoder's vocabulary and the encoder's width (base, with an error log line, for a
    /// vocabulary it does not know).
    static ModelVariant detectVariant(int64_t logitsDim, int64_t encoderDim);

    /// "openai/whisper-" and the size's description.
    static std::string tokenizerNameForVariant(ModelVariant variant);

    /// The model folder names among model names or paths inside model folders, once each, grouped by
    /// size (tiny, base, small, medium, large) and ordered by name within a size.
    static std::vector<std::string> formatModelFiles(const std::vector<std::string>& modelFiles);
};

} // namespace sonavex
