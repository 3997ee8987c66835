#pragma once
// NumPy ".npy" files (format 1.0 to 3.0, little-endian, C order) for multi-arrays: float16, float32,
// float64, int32 and int8 elements. How the tools exchange arrays with other programs.

#include <filesystem>

#include "Platform/ML/Values/MultiArray.h"

namespace ml {

/// Reads an array; throws std::runtime_error naming the file for anything it cannot read exactly.
MultiArray readNpy(const std::filesystem::path& path);

/// Writes the array in its own element type; throws std::runtime_error on failure.
void writeNpy(const std::filesystem::path& path, const MultiArray& array);

} // namespace ml
