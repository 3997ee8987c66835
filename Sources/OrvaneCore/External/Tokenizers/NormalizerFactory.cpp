#include "OrvaneCore/External/Tokenizers/NormalizerFactory.h"

#include "OrvaneCore/External/Tokenizers/BertNormalizer.h"
#include "OrvaneCore/External/Tokenizers/LowercaseNormalizer.h"
#include "OrvaneCore/External/Tokenizers/NFCNormalizer.h"
#include "OrvaneCore/External/Tokenizers/NFDNormalizer.h"
#include "OrvaneCore/External/Tokenizers/NFKCNormalizer.h"
#include "OrvaneCore/External/Tokenizers/NFKDNormalizer.h"
#include "OrvaneCore/External/Tokenizers/NormalizerSequence.h"
#include "OrvaneCore/External/Tokenizers/PrecompiledNormalizer.h"
#include "OrvaneCore/External/Tokenizers/PrependNormalizer.h"
#include "OrvaneCore/External/Tokenizers/ReplaceNormalizer.h"
#include "OrvaneCore/External/Tokenizers/StageFactory.h"
#include "OrvaneCore/External/Tokenizers/StripAccentsNormalizer.h"
#include "OrvaneCore/External/Tokenizers/StripNormalizer.h"

namespace orvane {
namespace {

template <typename Type> constexpr auto make = makeStage<Normalizer, Type>;

} // namespace

const std::map<std::string, NormalizerFactory::Builder>& NormalizerFactory::builders() {
    static const std::map<std::string, Builder> table{
        {"Sequence", make<NormalizerSequence>},
        {"Prepend", make<PrependNormalizer>},
        {"Replace", make<ReplaceNormalizer>},
        {"Lowercase", make<LowercaseNormalizer>},
        {"NFD", make<NFDNormalizer>},
        {"NFC", make<NFCNormalizer>},
        {"NFKD", make<NFKDNormalizer>},
        {"NFKC", make<NFKCNormalizer>},
        {"Bert", make<BertNormalizer>},
        {"BertNormalizer", make<BertNormalizer>},
        {"Precompiled", make<PrecompiledNormalizer>},
        {"StripAccents", make<StripAccentsNormalizer>},
        {"Strip", make<StripNormalizer>},
    };
    return table;
}

std::shared_ptr<Normalizer> NormalizerFactory::fromConfig(const Config& config) {
    return buildStage(builders(), "Normalizer", config);
}

} // namespace orvane
