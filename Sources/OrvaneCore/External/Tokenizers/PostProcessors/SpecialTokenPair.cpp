#include "OrvaneCore/External/Tokenizers/PostProcessors/SpecialTokenPair.h"

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

namespace orvane {

SpecialTokenPair requiredSpecialToken(const Config& config, const char* member) {
    if (auto token = config[member].token()) {
        return *token;
    }
    throw TokenizerError::mismatchedConfig(std::string("Missing `") + member + "` processor configuration");
}

} // namespace orvane
