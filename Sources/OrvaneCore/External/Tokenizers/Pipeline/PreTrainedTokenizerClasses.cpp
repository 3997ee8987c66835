#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizerClasses.h"

#include "OrvaneCore/External/Tokenizers/Pipeline/LlamaPreTrainedTokenizer.h"

namespace orvane {

const std::map<std::string, PreTrainedTokenizerClasses::Constructor>& PreTrainedTokenizerClasses::tokenizerClasses() {
    static const std::map<std::string, Constructor> classes{
        {"LlamaTokenizer",
         [](const Config& tokenizerConfig, const Config& tokenizerData, bool strict) {
             return std::make_unique<LlamaPreTrainedTokenizer>(tokenizerConfig, tokenizerData, strict);
         }},
    };
    return classes;
}

} // namespace orvane
