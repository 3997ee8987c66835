#pragma once
// A pre-tokenizer cuts one section of normalized text into the pieces the model tokenizes one at a
// time. Built by PreTokenizerFactory from the "pre_tokenizer" object of "tokenizer.json"; each type
// also has a constructor taking that object. Immutable and thread-safe once built.

#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerOption.h"

#include <string>
#include <vector>

namespace orvane {

class PreTokenizer {
public:
    virtual ~PreTokenizer() = default;

    virtual std::vector<std::string> preTokenize(const std::string& text,
                                                 const PreTokenizerOptions& options) const = 0;
    /// The pieces of every text, in order.
    std::vector<std::string> preTokenize(const std::vector<std::string>& texts,
                                         const PreTokenizerOptions& options) const;

    std::vector<std::string> operator()(const std::vector<std::string>& texts,
                                        const PreTokenizerOptions& options) const {
        return preTokenize(texts, options);
    }
    std::vector<std::string> operator()(const std::string& text, const PreTokenizerOptions& options) const {
        return preTokenize(text, options);
    }
};

} // namespace orvane
