#include "OrvaneCore/External/Tokenizers/PostProcessors/PostProcessorFactory.h"

#include "OrvaneCore/External/Tokenizers/Pipeline/StageFactory.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/BertProcessing.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/ByteLevelPostProcessor.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/RobertaProcessing.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/SequenceProcessing.h"
#include "OrvaneCore/External/Tokenizers/PostProcessors/TemplateProcessing.h"

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
