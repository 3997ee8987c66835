#include "Arguments/SampleFiles.h"

#include "CommandLine/InputFiles.h"
#include "Platform/ML/Files/Npy.h"
#include "Sonavex/Core/Audio/AudioProcessor.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace sonavex::tool {

namespace {

static_assert(std::endian::native == std::endian::little, "raw sample files are little-endian");

std::string extensionOf(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

} // namespace

std::vector<float> readSamples(const std::filesystem::path& path) {
    const std::string extension = extensionOf(path);
    if (extension == ".npy") {
        return ml::readNpy(path).toFloats();
    }
    if (extension != ".f32") {
        throw std::runtime_error("Sample file " + path.string() + " must end in .f32 or .npy");
    }
    std::string bytes = readInput(path.string());
    if (bytes.size() % sizeof(float) != 0) {
        throw std::runtime_error("Sample file " + path.string() + " holds " + std::to_string(bytes.size()) +
                                 " bytes, not a whole number of 32-bit samples");
    }
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), bytes.size());
    return samples;
}

void writeSamples(const std::filesystem::path& path, const std::vector<float>& samples) {
    const std::string extension = extensionOf(path);
    if (extension == ".npy") {
        ml::writeNpy(path, ml::MultiArray::fromFloats({static_cast<int64_t>(samples.size())}, samples));
        return;
    }
    if (extension != ".f32") {
        throw std::runtime_error("Sample file " + path.string() + " must end in .f32 or .npy");
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(samples.data()),
              static_cast<std::streamsize>(samples.size() * sizeof(float)));
    out.close();
    if (!out) {
        throw std::runtime_error("Cannot write " + path.string() + ": " + std::strerror(errno));
    }
}

std::vector<float> readAudioInput(const std::string& path) {
    const std::string extension = extensionOf(path);
    return extension == ".f32" || extension == ".npy" ? readSamples(path)
                                                      : AudioProcessor::loadAudioAsFloatArray(path);
}

} // namespace sonavex::tool
