#pragma once
// How a model stores its linear layers' weights. "half": floating-point tensors as the checkpoint gave
// them (half, bfloat16 or float), kept as halves or packed at load. "int8": each linear layer as signed
// 8-bit integers "<prefix>.weight" [out, in] with a float scale per output row "<prefix>.weight_scale"
// [out] (value = integer x scale); biases, norms, convolutions and positional embeddings stay floats.
// A model records its type in its parameters ("weight_type"); models written before 8-bit weights record
// none and are "half".

#include "Platform/ML/Files/ModelParameters.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ml {

enum class WeightType { half, int8 };

constexpr const char* kWeightTypeParameter = "weight_type";
/// The name of an 8-bit weight's scale tensor, beside "<prefix>.weight".
std::string weightScaleName(const std::string& weightName);

/// "half" or "int8".
const char* weightTypeName(WeightType type);
std::optional<WeightType> weightTypeNamed(const std::string& name);

/// The type the parameters record; throws std::invalid_argument naming an unknown one.
WeightType recordedWeightType(const ModelParameters& parameters);
void recordWeightType(ModelParameters& parameters, WeightType type);

/// One row quantised symmetrically: q = round(w / scale) in [-127, 127] with scale = max |w| / 127 (0, and q
/// all 0, when max |w| < FLT_MIN * 127). Returns the scale; throws std::invalid_argument when the row holds
/// a value that is not finite (it has no 8-bit form, and a cast of it would be undefined).
float quantizeRow(const float* w, size_t n, int8_t* q);

} // namespace ml
