#pragma once
// The tokenizer classes that differ from the general PreTrainedTokenizer, by tokenizer class name
// (without "Fast"): only "LlamaTokenizer". Every other name means the general class.

#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizer.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace orvane {

struct PreTrainedTokenizerClasses {
    using Constructor = std::function<std::unique_ptr<PreTrainedTokenizer>(
        const Config& tokenizerConfig, const Config& tokenizerData, bool strict)>;

    /// Built once per process, on first use.
    static const std::map<std::string, Constructor>& tokenizerClasses();
};

} // namespace orvane
