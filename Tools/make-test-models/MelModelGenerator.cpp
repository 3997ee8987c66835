#include <stdexcept>

#include "ModelGenerators.h"
#include "Platform/ML/Whisper/MelSpectrogramModel.h"

// The mel model has no random weights: its one weight is the real filter bank. --seed is accepted so every
// kind takes the same flags.
ml::ModelWriter makeMelModel(const ToolOptions& options) {
    const int64_t mels = options.integer("mels", 80);
    if (mels != 80 && mels != 128) {
        throw std::invalid_argument("--mels must be 80 or 128");
    }
    options.integer("seed", 0);
    return ml::MelSpectrogramModel::writer(mels, options.integer("samples", 480000));
}
