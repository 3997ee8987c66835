#include "ModelGenerators.h"

const std::vector<ModelGenerator>& modelGenerators() {
    static const std::vector<ModelGenerator> generators{
        {"mel", "--kind mel --mels 80|128 --out DIR/MelSpectrogram.mlmodelc [--seed S]", makeMelModel},
    };
    return generators;
}
