#include "OrvaneCore/External/Tokenizers/NormalizerFactory.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/TokenizerError.h"

namespace orvane {
namespace {

template <typename Stage> std::shared_ptr<Normalizer> make(const Config& config) {
    return std::make_shared<Stage>(config);
}

} // namespace

const std::map<std::string, NormalizerFactory::Builder>& NormalizerFactory::builders() {
    // One line per type: {"Lowercase", make<LowercaseNormalizer>}.
    static const std::map<std::string, Builder> table{};
    return table;
}

std::shared_ptr<Normalizer> NormalizerFactory::fromConfig(const Config& config) {
    auto type = config["type"].string();
    if (!type) return nullptr;
    auto found = builders().find(*type);
    if (found == builders().end()) throw TokenizerError::mismatchedConfig("Unsupported Normalizer type: " + *type);
    return found->second(config);
}

} // namespace orvane
