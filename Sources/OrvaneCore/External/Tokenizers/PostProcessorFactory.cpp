#include "OrvaneCore/External/Tokenizers/PostProcessorFactory.h"

#include "OrvaneCore/External/Tokenizers/BertProcessing.h"
#include "OrvaneCore/External/Tokenizers/ByteLevelPostProcessor.h"
#include "OrvaneCore/External/Tokenizers/RobertaProcessing.h"
#include "OrvaneCore/External/Tokenizers/SequenceProcessing.h"
#include "OrvaneCore/External/Tokenizers/StageFactory.h"
#include "OrvaneCore/External/Tokenizers/TemplateProcessing.h"

namespace orvane {
namespace {

template <typename Type> constexpr auto make = makeStage<PostProcessor, Type>;

} // namespace

const std::map<std::string, PostProcessorFactory::Builder>& PostProcessorFactory::builders() {
    static const std::map<std::string, Builder> table{
        {"TemplateProcessing", make<TemplateProcessing>}, {"ByteLevel", make<ByteLevelPostProcessor>},
        {"RobertaProcessing", make<RobertaProcessing>},   {"BertProcessing", make<BertProcessing>},
        {"Sequence", make<SequenceProcessing>},
    };
    return table;
}

std::shared_ptr<PostProcessor> PostProcessorFactory::fromConfig(const Config& config) {
    return buildStage(builders(), "PostProcessor", config);
}

} // namespace orvane
