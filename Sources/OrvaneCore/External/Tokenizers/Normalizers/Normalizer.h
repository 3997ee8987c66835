#pragma once
// A normalizer rewrites one section of input text before it is pre-tokenized (case, Unicode form,
// replacements). Built by NormalizerFactory from the "normalizer" object of "tokenizer.json"; each
// type also has a constructor taking that object. Immutable and thread-safe once built.

#include <string>

namespace orvane {

class Normalizer {
public:
    virtual ~Normalizer() = default;

    virtual std::string normalize(const std::string& text) const = 0;
    std::string operator()(const std::string& text) const { return normalize(text); }
};

} // namespace orvane
