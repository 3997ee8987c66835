#pragma once
// Audio samples on disk for the tool: ".f32" (raw little-endian 32-bit floats, 16 kHz mono) or ".npy"
// (a one-dimensional array, or any shape read in row-major order, of a floating-point type).

#include <filesystem>
#include <string>
#include <vector>

namespace sonavex::tool {

/// Throws std::runtime_error naming the file for a missing file, another extension, or a ".f32" file
/// whose size is not a whole number of samples.
std::vector<float> readSamples(const std::filesystem::path& path);

/// An audio file (anything FFmpeg reads, all channels summed to 16 kHz mono) or a sample file (".f32",
/// ".npy", by extension in any case).
std::vector<float> readAudioInput(const std::string& path);

/// Writes by extension (".f32" or ".npy" as float32); throws std::runtime_error on failure.
void writeSamples(const std::filesystem::path& path, const std::vector<float>& samples);

} // namespace sonavex::tool
