#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerFactory.h"

#include "OrvaneCore/External/Tokenizers/Pipeline/StageFactory.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/BertPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/ByteLevelPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/DigitsPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/MetaspacePreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizerSequence.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/PunctuationPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/SplitPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizers/WhitespacePreTokenizer.h"

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
