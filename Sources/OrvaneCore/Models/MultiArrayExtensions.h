#pragma once
// Array helpers the engine builds its model inputs with: creation with an initial value, flat offsets,
// writes at chosen positions, and reading arrays back as plain integer or float lists.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Platform/ML/Values/MultiArray.h"

namespace orvane {

/// A new array; every element holds `initialValue` converted to the element type (zero without one).
/// Float16 arrays need a non-empty shape (MLMultiArrayCreationError otherwise); for the other types the
/// runtime's own error (std::invalid_argument) passes unchanged, and a value an integer type cannot hold
/// throws std::out_of_range.
std::shared_ptr<ml::MultiArray> makeMultiArray(const std::vector<int64_t>& shape, ml::MultiArrayDataType dataType,
                                               std::optional<double> initialValue = std::nullopt);

/// The geometry of a half-precision buffer for a shape: width = last dimension, height = the product of
/// the others (1 when there are none); nothing for an empty shape or a height past 64 bits.
struct HalfBufferGeometry {
    int64_t width = 0;
    int64_t height = 0;
    bool operator==(const HalfBufferGeometry&) const = default;
};
std::optional<HalfBufferGeometry> halfBufferGeometry(const std::vector<int64_t>& shape);

/// An Int32 array of shape [1, ..., 1, values.size()] with `dims` dimensions holding the values.
/// Throws std::invalid_argument for dims below 1 and std::out_of_range for a value outside 32 bits.
std::shared_ptr<ml::MultiArray> multiArrayFrom(const std::vector<int64_t>& values, int dims);

/// Sum of index × stride over as many positions as the shorter list has; the array's strides when none
/// are given. No bounds checks: the caller's index is taken as it is.
int64_t linearOffset(const ml::MultiArray& array, const std::vector<int64_t>& index,
                     const std::optional<std::vector<int64_t>>& strides = std::nullopt);
/// The same for an index of numbers, each truncated to an integer first.
int64_t linearOffsetForNumbers(const ml::MultiArray& array, const std::vector<double>& index,
                               const std::optional<std::vector<int64_t>>& strides = std::nullopt);

/// Writes `value` at [0, 0, i] for every i in [lower, upper). Requires a Float16 array of shape [1, 1, n]
/// and 0 <= lower <= upper <= n; throws std::invalid_argument otherwise.
void fillLastDimension(ml::MultiArray& array, int64_t lower, int64_t upper, ml::Float16 value);

/// Writes `value` at each full index; indexes of another rank or with an entry out of bounds are skipped.
/// T must be the element type (std::invalid_argument otherwise).
template <typename T>
void fill(ml::MultiArray& array, const std::vector<std::vector<int64_t>>& indexes, T value);
/// The same for indexes of numbers, each truncated to an integer first.
template <typename T>
void fillNumberIndexes(ml::MultiArray& array, const std::vector<std::vector<double>>& indexes, T value);

/// The elements of an Int32 array widened to 64 bits; another type throws std::invalid_argument.
std::vector<int64_t> toIntArray(const ml::MultiArray& tensor);
/// The elements of a Float32, Float16 or Int32 array as floats; another type throws std::invalid_argument
/// "Unsupported scalar type: <type>".
std::vector<float> toFloatArray(const ml::MultiArray& tensor);
/// A copy of a Float32, Float16 or Int32 array; the same rejection for other types.
std::shared_ptr<ml::MultiArray> toMultiArray(const ml::MultiArray& tensor);

} // namespace orvane
