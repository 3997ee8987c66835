// Weight files: opening either refuses the file with a load error or gives tensors whose every byte
// lies inside the file, readable in every element type.

#include "Fuzz/FuzzSupport.h"
#include "Platform/ML/Model/ModelLoadError.h"
#include "Platform/ML/Files/SafeTensorsFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path =
        fuzz::writeScratch("weights.safetensors", std::string_view(reinterpret_cast<const char*>(data), size));
    std::shared_ptr<const ml::SafeTensorsFile> file;
    try {
        file = ml::SafeTensorsFile::open(path);
    } catch (const ml::ModelLoadError&) {
        return 0;
    }
    for (const std::string& name : file->names()) {
        const ml::SafeTensor& tensor = file->tensor(name);
        if (tensor.count() > (1 << 20)) {
            continue; // valid, but too large to convert on every input
        }
        for (auto type : {ml::MultiArrayDataType::Float32, ml::MultiArrayDataType::Float16}) {
            try {
                (void)file->array(name, type);
            } catch (const ml::ModelLoadError&) {
            }
        }
    }
    return 0;
}
