#include "OrvaneCore/External/Tokenizers/Decoders/DecoderFactory.h"

#include "OrvaneCore/External/Tokenizers/Decoders/ByteFallbackDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/ByteLevelDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/DecoderSequence.h"
#include "OrvaneCore/External/Tokenizers/Decoders/FuseDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/MetaspaceDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/ReplaceDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/StripDecoder.h"
#include "OrvaneCore/External/Tokenizers/Decoders/WordPieceDecoder.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/StageFactory.h"

namespace orvane {
namespace {

template <typename Type>
constexpr auto make = makeStage<Decoder, Type, const std::unordered_set<std::string>*>;

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
    return buildStage(builders(), "Decoder", config, addedTokens);
}

} // namespace orvane
