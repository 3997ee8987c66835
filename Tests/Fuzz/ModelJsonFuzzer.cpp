// Model folders with a hostile model.json: loading gives a model or a load error, never a crash, a
// stray exception of another kind or a stack overflow. The weights file is a valid empty one, so each
// model kind reads its parameters as far as its first weight.

#include "Fuzz/FuzzSupport.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Model/ModelLoadError.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string emptyWeights = [] {
        std::string bytes(8, '\0');
        bytes[0] = 8;
        return bytes + "{}      ";
    }();
    fuzz::writeScratch("Model.mlmodelc/weights.safetensors", emptyWeights);
    const auto description = fuzz::writeScratch("Model.mlmodelc/model.json",
                                                std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        (void)ml::Model::load(description.parent_path());
    } catch (const ml::ModelLoadError&) {
    }
    return 0;
}
