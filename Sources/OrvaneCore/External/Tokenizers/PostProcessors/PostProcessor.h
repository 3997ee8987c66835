#pragma once
// A post-processor frames the tokens of an encoded sequence (and of an optional second sequence)
// with the special tokens the configuration asks for, before they become ids. Built by
// PostProcessorFactory from the "post_processor" object of "tokenizer.json". Immutable once built.

#include <optional>
#include <string>
#include <vector>

namespace orvane {

class PostProcessor {
public:
    virtual ~PostProcessor() = default;

    virtual std::vector<std::string> postProcess(const std::vector<std::string>& tokens,
                                                 const std::optional<std::vector<std::string>>& tokensPair,
                                                 bool addSpecialTokens) const = 0;

    std::vector<std::string> operator()(const std::vector<std::string>& tokens,
                                        const std::optional<std::vector<std::string>>& tokensPair,
                                        bool addSpecialTokens) const {
        return postProcess(tokens, tokensPair, addSpecialTokens);
    }
};

} // namespace orvane
