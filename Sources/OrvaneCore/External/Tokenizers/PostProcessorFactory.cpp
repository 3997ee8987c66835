#include "OrvaneCore/External/Tokenizers/PostProcessorFactory.h"

#include "OrvaneCore/External/Hub/Config.h"
#include "OrvaneCore/External/Tokenizers/BertProcessing.h"
#include "OrvaneCore/External/Tokenizers/ByteLevelPostProcessor.h"
#include "OrvaneCore/External/Tokenizers/RobertaProcessing.h"
#include "OrvaneCore/External/Tokenizers/SequenceProcessing.h"
#include "OrvaneCore/External/Tokenizers/TemplateProcessing.h"
#include "OrvaneCore/External/Tokenizers/TokenizerError.h"

namespace orvane {
namespace {

template <typename Stage> std::shared_ptr<PostProcessor> make(const Config& config) {
    return std::make_shared<Stage>(config);
}

} // namespace

const std::map<std::string, PostProcessorFactory::Builder>& PostProcessorFactory::builders() {
    static const std::map<std::string, Builder> table{
        {"TemplateProcessing", make<TemplateProcessing>},
        {"ByteLevel", make<ByteLevelPostProcessor>},
        {"RobertaProcessing", make<RobertaProcessing>},
        {"BertProcessing", make<BertProcessing>},
        {"Sequence", make<SequenceProcessing>},
    };
    return table;
}

std::shared_ptr<PostProcessor> PostProcessorFactory::fromConfig(const Config& config) {
    auto type = config["type"].string();
    if (!type) return nullptr;
    auto found = builders().find(*type);
    if (found == builders().end()) {
        throw TokenizerError::mismatchedConfig("Unsupported PostProcessor type: " + *type);
    }
    return found->second(config);
}

} // namespace orvane
