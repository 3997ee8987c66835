#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerSequence.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerFactory.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

namespace orvane {

NormalizerSequence::NormalizerSequence(const Config& config) {
    const Config::Array* members = config["normalizers"].array();
    if (!members) {
        throw TokenizerError::mismatchedConfig("No normalizers in Sequence");
    }
    for (const Config& member : *members) {
        if (auto normalizer = NormalizerFactory::fromConfig(member)) {
            normalizers_.push_back(std::move(normalizer));
        }
    }
}

NormalizerSequence::NormalizerSequence(std::vector<std::shared_ptr<Normalizer>> normalizers)
    : normalizers_(std::move(normalizers)) {}

std::string NormalizerSequence::normalize(const std::string& text) const {
    std::string result = text;
    for (const auto& normalizer : normalizers_) {
        result = normalizer->normalize(result);
    }
    return result;
}

} // namespace orvane
