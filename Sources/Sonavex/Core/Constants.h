#pragma once
// Defaults several engine stages share: the language table of the language tokens, window and context
// sizes, the punctuation that word timing attaches to neighbouring words, the special-token delimiters,
// the remote model-support file and the built-in model-support table. Tables are built once, on first
// use, and never change.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sonavex {

class ModelSupportConfig;

struct Constants {
    /// Tokens of one decoding window's context; the application uses it as its sample length.
    static constexpr int maxTokenContext = 224;
    /// One 30-second window at 16 kHz.
    static constexpr int defaultWindowSamples = 480000;
    /// Frames per read when an audio file is loaded.
    static constexpr uint32_t defaultAudioReadFrameSize = 1323000;
    static constexpr std::string_view defaultLanguageCode = "en";
    /// Characters that attach to the following word.
    static constexpr std::string_view defaultPrependPunctuations = "\"'\u201C\u00A1\u00BF([{-";
    /// Characters that attach to the preceding word.
    static constexpr std::string_view defaultAppendPunctuations =
        "\"'.\u3002,\uFF0C!\uFF01?\uFF1F:\uFF1A\u201D)]}\u3001";
    /// Name of the model-support configuration file in a model repository.
    static constexpr std::string_view defaultRemoteConfigName = "config.json";
    /// The public model hub.
    static constexpr std::string_view defaultRemoteEndpoint = "https://huggingface.co";
    /// Trimmed from both ends of a special token's text.
    static constexpr std::string_view specialTokenCharacters = "<|>";

    /// Language name (lower-case English) to the code inside the tokenizer's language tokens: 112 names.
    static const std::map<std::string, std::string>& languages();
    /// The 100 distinct codes of `languages`.
    static const std::set<std::string>& languageCodes();
    /// The built-in model-support table.
    static const ModelSupportConfig& fallbackModelSupportConfig();
    /// The 22 model names of the built-in table, in first-occurrence order.
    static const std::vector<std::string>& knownModels();
};

} // namespace sonavex
