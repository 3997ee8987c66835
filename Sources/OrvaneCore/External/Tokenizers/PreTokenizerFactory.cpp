#include "OrvaneCore/External/Tokenizers/PreTokenizerFactory.h"

#include "OrvaneCore/External/Tokenizers/BertPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/ByteLevelPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/DigitsPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/MetaspacePreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizerSequence.h"
#include "OrvaneCore/External/Tokenizers/PunctuationPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/SplitPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/StageFactory.h"
#include "OrvaneCore/External/Tokenizers/WhitespacePreTokenizer.h"

namespace orvane {
namespace {

template <typename Type> constexpr auto make = makeStage<PreTokenizer, Type>;

} // namespace

const std::map<std::string, PreTokenizerFactory::Builder>& PreTokenizerFactory::builders() {
    static const std::map<std::string, Builder> table{
        {"Sequence", make<PreTokenizerSequence>},
        {"ByteLevel", make<ByteLevelPreTokenizer>},
        {"Punctuation", make<PunctuationPreTokenizer>},
        {"Digits", make<DigitsPreTokenizer>},
        {"Split", make<SplitPreTokenizer>},
        {"Whitespace", make<WhitespacePreTokenizer>},
        {"WhitespaceSplit", make<WhitespacePreTokenizer>},
        {"Metaspace", make<MetaspacePreTokenizer>},
        {"BertPreTokenizer", make<BertPreTokenizer>},
    };
    return table;
}

std::shared_ptr<PreTokenizer> PreTokenizerFactory::fromConfig(const Config& config) {
    return buildStage(builders(), "PreTokenizer", config);
}

} // namespace orvane
