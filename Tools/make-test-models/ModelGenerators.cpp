#include "ModelGenerators.h"

const std::vector<ModelGenerator>& modelGenerators() {
    static const std::vector<ModelGenerator> generators{
        {"mel", "--kind mel --mels 80|128 --out DIR/MelSpectrogram.mlmodelc [--seed S]", makeMelModel},
        {"encoder", "--kind encoder --mels M --width D --layers L [--heads H] --out DIR/AudioEncoder.mlmodelc [--seed S]",
         makeEncoderModel},
        {"decoder",
         "--kind decoder --vocab V --width D --layers L [--heads H] [--cache-length S] --out DIR/TextDecoder.mlmodelc "
         "[--seed S]",
         makeDecoderModel},
        {"scripted-decoder",
         "--kind scripted-decoder --vocab V --width D --layers L [--cache-length S] [--script IN:POS:NEXT[:FRAME],...] "
         "[--flat IN:POS,...] [--default-next N] [--alignment-frame F] [--word-timestamps 0|1] "
         "--out DIR/TextDecoder.mlmodelc (POS -1: any position)",
         makeScriptedDecoderModel},
    };
    return generators;
}
