#include "OrvaneCore/External/Tokenizers/DecoderFactory.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/ByteFallbackDecoder.h"
#include "OrvaneCore/External/Tokenizers/ByteLevelDecoder.h"
#include "OrvaneCore/External/Tokenizers/DecoderSequence.h"
#include "OrvaneCore/External/Tokenizers/FuseDecoder.h"
#include "OrvaneCore/External/Tokenizers/MetaspaceDecoder.h"
#include "OrvaneCore/External/Tokenizers/ReplaceDecoder.h"
#include "OrvaneCore/External/Tokenizers/StripDecoder.h"
#include "OrvaneCore/External/Tokenizers/WordPieceDecoder.h"
#include "OrvaneCore/External/Tokenizers/TokenizerError.h"

namespace orvane {
namespace {

template <typename Stage>
std::shared_ptr<Decoder> make(const Config& config, const std::unordered_set<std::string>*) {
    return std::make_shared<Stage>(config);
}

std::shared_ptr<Decoder> makeByteLevel(const Config&, const std::unordered_set<std::string>* addedTokens) {
    return std::make_shared<ByteLevelDecoder>(addedTokens ? *addedTokens : std::unordered_set<std::string>{});
}

} // namespace

const std::map<std::string, DecoderFactory::Builder>& DecoderFactory::builders() {
    static const std::map<std::string, Builder> table{
        {"Sequence", make<DecoderSequence>},
        {"WordPiece", make<WordPieceDecoder>},
        {"ByteLevel", makeByteLevel},
        {"Replace", make<ReplaceDecoder>},
        {"ByteFallback", make<ByteFallbackDecoder>},
        {"Fuse", make<FuseDecoder>},
        {"Strip", make<StripDecoder>},
        {"Metaspace", make<MetaspaceDecoder>},
    };
    return table;
}

std::shared_ptr<Decoder> DecoderFactory::fromConfig(const Config& config,
                                                    const std::unordered_set<std::string>* addedTokens) {
    auto type = config["type"].string();
    if (!type) return nullptr;
    auto found = builders().find(*type);
    if (found == builders().end()) throw TokenizerError::mismatchedConfig("Unsupported Decoder type: " + *type);
    return found->second(config, addedTokens);
}

} // namespace orvane
