#include "ModelGenerators.h"
#include "Platform/ML/Whisper/AudioEncoderModel.h"

ml::ModelWriter makeEncoderModel(const ToolOptions& options) {
    ml::AudioEncoderShape shape;
    shape.mels = options.integer("mels", 80);
    shape.width = options.integer("width");
    shape.layers = options.integer("layers");
    shape.heads = options.integer("heads", shape.width / 64);
    return ml::AudioEncoderModel::writer(shape, uint64_t(options.integer("seed", 0)), weightsOption(options));
}
