#pragma once
// The scalar types a multi-array can hold, with the runtime's numeric codes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Platform/ML/Values/Half.h"

namespace ml {

enum class MultiArrayDataType : int32_t {
    Float16 = 0x10010,
    Float32 = 0x10020,
    Float64 = 0x10040,
    Int32 = 0x20020,
    Int8 = 0x20008,
};

/// Bytes per element.
std::size_t elementSize(MultiArrayDataType type);

/// "Float16", "Float32", "Float64", "Int32", "Int8"; "Unknown(<code>)" for a value outside the enumeration.
std::string dataTypeName(MultiArrayDataType type);

/// The inverse of dataTypeName(); nothing for an unknown name.
std::optional<MultiArrayDataType> dataTypeNamed(std::string_view name);

/// The element type a C++ scalar type stands for.
template <typename T> struct DataTypeOf;
template <> struct DataTypeOf<Float16> {
    static constexpr MultiArrayDataType value = MultiArrayDataType::Float16;
};
template <> struct DataTypeOf<float> {
    static constexpr MultiArrayDataType value = MultiArrayDataType::Float32;
};
template <> struct DataTypeOf<double> {
    static constexpr MultiArrayDataType value = MultiArrayDataType::Float64;
};
template <> struct DataTypeOf<int32_t> {
    static constexpr MultiArrayDataType value = MultiArrayDataType::Int32;
};
template <> struct DataTypeOf<int8_t> {
    static constexpr MultiArrayDataType value = MultiArrayDataType::Int8;
};

} // namespace ml
