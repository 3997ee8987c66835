#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerFactory.h"

#include "OrvaneCore/External/Tokenizers/Normalizers/BertNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/LowercaseNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NFCNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NFDNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NFKCNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NFKDNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/NormalizerSequence.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/PrecompiledNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/PrependNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/ReplaceNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/StripAccentsNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Normalizers/StripNormalizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/StageFactory.h"

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
