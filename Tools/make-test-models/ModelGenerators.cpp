#include "ModelGenerators.h"

#include <stdexcept>

ml::WeightType weightsOption(const ToolOptions& options) {
    const std::string name = options.text("weights", "half");
    const auto type = ml::weightTypeNamed(name);
    if (!type)
        throw std::invalid_argument("--weights must be int8 or half, not \"" + name + "\"");
    return *type;
}

const std::vector<ModelGenerator>& modelGenerators() {
    static const std::vector<ModelGenerator> generators{
        {"mel", "--kind mel --mels 80|128 --out DIR/MelSpectrogram.mlmodelc [--seed S]", makeMelModel},
        {"encoder",
         "--kind encoder --mels M --width D --layers L [--heads H] --out DIR/AudioEncoder.mlmodelc [--seed "
         "S] "
         "[--weights int8|half]",
         makeEncoderModel},
        {"decoder",
         "--kind decoder --vocab V --width D --layers L [--heads H] [--cache-length S] --out "
         "DIR/TextDecoder.mlmodelc "
         "[--seed S] [--weights int8|half]",
         makeDecoderModel},
        {"scripted-decoder",
         "--kind scripted-decoder --vocab V --width D --layers L [--cache-length S] [--script "
         "IN:POS:NEXT[:FRAME],...] "
         "[--flat IN:POS,...] [--default-next N] [--alignment-frame F] [--word-timestamps 0|1] "
         "--out DIR/TextDecoder.mlmodelc (POS -1: any position)",
         makeScriptedDecoderModel},
    };
    return generators;
}
