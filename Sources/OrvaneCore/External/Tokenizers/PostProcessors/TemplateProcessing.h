#pragma once
// Frames token sequences by a template: special-token items add their text (when special tokens are
// wanted), sequence items "A" and "B" stand for the first and second sequence. The "pair" template is
// used whenever a second sequence is given, the "single" one otherwise.

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessor.h"

namespace orvane {

class TemplateProcessing final : public PostProcessor {
public:
    /// Reads "single" and "pair"; throws TokenizerError::mismatchedConfig("Missing `single` processor
    /// configuration") or ("Missing `pair` processor configuration") when either is not an array.
    explicit TemplateProcessing(const Config& config);

    std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                         const std::optional<std::vector<std::string>>& tokensPair,
                                         bool addSpecialTokens) const override;

    const Config::Array& single() const { return single_; }
    const Config::Array& pair() const { return pair_; }

private:
    // A template item as read once: a special token's text, sequence "A" or "B", or nothing.
    struct Item {
        enum class Kind { special, first, second, none } kind;
        std::string text;
    };
    static std::vector<Item> items(const Config::Array& configuration);

    Config::Array single_;
    Config::Array pair_;
    std::vector<Item> singleItems_;
    std::vector<Item> pairItems_;
};

} // namespace orvane
