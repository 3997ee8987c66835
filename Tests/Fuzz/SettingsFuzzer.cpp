// The settings file as the application reads it at start: any bytes give settings (the stored ones, else
// the defaults); a file that is not a JSON object is kept aside unchanged, one that is keeps what it holds;
// and what is stored reads back the same after a restart, a threshold of any bit pattern included.

#include "Fuzz/FuzzSupport.h"
#include "VelmoraCore/Settings/AppSettings.h"
#include "VelmoraCore/Settings/DefaultsStore.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& file) {
    std::ifstream input(file, std::ios::binary);
    std::stringstream text;
    text << input.rdbuf();
    return text.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::error_code ignored;
    fs::remove_all(fuzz::scratchFolder() / "velmora", ignored);
    const fs::path file = fuzz::writeScratch("velmora/defaults.json", bytes);
    const bool isObject = nlohmann::json::parse(bytes, nullptr, false).is_object();

    auto store = std::make_shared<velmora::DefaultsStore>(file);
    velmora::AppSettings settings(store);
    if (isObject != !fs::exists(file.string() + ".broken")) {
        std::abort();
    }
    if (!isObject && contents(file.string() + ".broken") != bytes) {
        std::abort(); // the user's unreadable file must survive as it was
    }
    if (settings.modelName().value() != store->string("modelName").value_or(settings.defaultModelName)) {
        std::abort();
    }

    float threshold = 0;
    std::memcpy(&threshold, data, std::min(size, sizeof threshold));
    settings.setVadThreshold(threshold);

    const velmora::AppSettings restarted(std::make_shared<velmora::DefaultsStore>(file));
    const float expected = std::isfinite(threshold) ? threshold : settings.defaultVADThreshold;
    if (restarted.modelName().value() != settings.modelName().value() ||
        restarted.preferredInputDeviceUID().value() != settings.preferredInputDeviceUID().value() ||
        std::memcmp(&restarted.vadThreshold().value(), &expected, sizeof expected) != 0) {
        std::abort();
    }
    return 0;
}
