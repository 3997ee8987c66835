// A public checkpoint as the converter reads it: config.json, the header of model.safetensors and, when
// not empty, generation_config.json, cut by lines "@@@@" (the weights file gets zeros for the data its
// header places, up to a few megabytes). A conversion either refuses with a CheckpointConversionError and
// leaves nothing behind, or writes the three models of the configured size.

#include "Fuzz/FuzzSupport.h"
#include "Sonavex/Utilities/Models/CheckpointConversionError.h"
#include "Sonavex/Utilities/Models/CheckpointConverter.h"
#include "Sonavex/Utilities/Models/CheckpointSource.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t maxDataBytes = 8 << 20;

/// The weights file of `header`: its length, the header and as many zero bytes as its tensors reach.
std::string weightsFile(const std::string& header) {
    std::uint64_t dataBytes = 0;
    const nlohmann::json parsed = nlohmann::json::parse(header, nullptr, false);
    if (parsed.is_object()) {
        for (const auto& [name, entry] : parsed.items()) {
            if (entry.is_object() && entry.contains("data_offsets") && entry["data_offsets"].is_array() &&
                entry["data_offsets"].size() == 2 && entry["data_offsets"][1].is_number_unsigned()) {
                dataBytes = std::max(dataBytes, entry["data_offsets"][1].get<std::uint64_t>());
            }
        }
    }
    std::string file(8, '\0');
    const std::uint64_t length = header.size();
    std::memcpy(file.data(), &length, sizeof length);
    file += header;
    file.append(std::min(dataBytes, maxDataBytes), '\0');
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzz::parts(data, size, 3);
    const fs::path checkpoint = fuzz::scratchFolder() / "checkpoint";
    const fs::path output = fuzz::scratchFolder() / "converted";
    std::error_code ignored;
    fs::remove_all(checkpoint, ignored);
    fs::remove_all(output, ignored);
    fuzz::writeScratch("checkpoint/config.json", parts[0]);
    fuzz::writeScratch("checkpoint/model.safetensors", weightsFile(parts[1]));
    if (!parts[2].empty()) {
        fuzz::writeScratch("checkpoint/generation_config.json", parts[2]);
    }
    fuzz::writeScratch("checkpoint/tokenizer.json", "{}");
    fuzz::writeScratch("checkpoint/tokenizer_config.json", "{}");

    try {
        const auto result = sonavex::CheckpointConverter::convert(checkpoint, output);
        if (!sonavex::CheckpointSource::holdsConvertedModels(output) || result.logitsDim < 1 ||
            result.encoderDim < 1) {
            std::abort();
        }
    } catch (const sonavex::CheckpointConversionError&) {
        if (fs::exists(output)) {
            std::abort(); // a failed conversion leaves no folder
        }
    }
    for (const auto& entry : fs::directory_iterator(fuzz::scratchFolder())) {
        if (entry.path().filename().string().starts_with(".converted")) {
            std::abort(); // nor its staging folder
        }
    }
    return 0;
}
