#pragma once
// Puts a fixed text in front of every section (as "▁" marks the start of a word for word-marker
// vocabularies), also in front of an empty one.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

namespace orvane {

class Config;

class PrependNormalizer : public Normalizer {
public:
    /// Reads "prepend" (a string; empty when absent).
    explicit PrependNormalizer(const Config& config);
    explicit PrependNormalizer(std::string prepend) : prepend_(std::move(prepend)) {}

    std::string normalize(const std::string& text) const override { return prepend_ + text; }

    const std::string& prepend() const { return prepend_; }

private:
    std::string prepend_;
};

} // namespace orvane
