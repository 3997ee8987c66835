#pragma once
// Several normalizers applied one after the other.

#include "OrvaneCore/External/Tokenizers/Normalizers/Normalizer.h"

#include <memory>
#include <vector>

namespace orvane {

class Config;

class NormalizerSequence : public Normalizer {
public:
    /// Reads "normalizers" (an array of normalizer configurations; entries without a "type" are
    /// skipped). Throws TokenizerError (mismatchedConfig "No normalizers in Sequence" or a member's error).
    explicit NormalizerSequence(const Config& config);
    explicit NormalizerSequence(std::vector<std::shared_ptr<Normalizer>> normalizers);

    std::string normalize(const std::string& text) const override;

    const std::vector<std::shared_ptr<Normalizer>>& normalizers() const { return normalizers_; }

private:
    std::vector<std::shared_ptr<Normalizer>> normalizers_;
};

} // namespace orvane
