#include "OrvaneCore/External/Tokenizers/PreTokenizerFactory.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/BertPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/ByteLevelPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/DigitsPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/MetaspacePreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/PreTokenizerSequence.h"
#include "OrvaneCore/External/Tokenizers/PunctuationPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/SplitPreTokenizer.h"
#include "OrvaneCore/External/Tokenizers/TokenizerError.h"
#include "OrvaneCore/External/Tokenizers/WhitespacePreTokenizer.h"

namespace orvane {
namespace {

template <typename Stage> std::shared_ptr<PreTokenizer> make(const Config& config) {
    return std::make_shared<Stage>(config);
}

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
    auto type = config["type"].string();
    if (!type) return nullptr;
    auto found = builders().find(*type);
    if (found == builders().end()) throw TokenizerError::mismatchedConfig("Unsupported PreTokenizer type: " + *type);
    return found->second(config);
}

} // namespace orvane
