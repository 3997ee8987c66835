#include "Platform/ML/Values/MultiArrayDataType.h"

#include "Platform/ML/Values/EnumNames.h"

namespace ml {

namespace {
constexpr EnumNameTable<MultiArrayDataType, 5> kNames{{
    {MultiArrayDataType::Float16, "Float16"},
    {MultiArrayDataType::Float32, "Float32"},
    {MultiArrayDataType::Float64, "Float64"},
    {MultiArrayDataType::Int32, "Int32"},
    {MultiArrayDataType::Int8, "Int8"},
}};
} // namespace

std::size_t elementSize(MultiArrayDataType type) {
    // The low byte of the code is the width in bits.
    return static_cast<std::size_t>(static_cast<int32_t>(type) & 0xff) / 8;
}

std::string dataTypeName(MultiArrayDataType type) {
    if (auto name = nameIn(kNames, type)) {
        return std::string(*name);
    }
    return "Unknown(" + std::to_string(static_cast<int32_t>(type)) + ")";
}

std::optional<MultiArrayDataType> dataTypeNamed(std::string_view name) { return valueIn(kNames, name); }

} // namespace ml
