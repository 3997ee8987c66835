#pragma once
// Lookups in a fixed table of (value, name) pairs, for enumerations that have names in files.

#include <array>
#include <optional>
#include <string_view>
#include <utility>

namespace ml {

template <class Enum, std::size_t N>
using EnumNameTable = std::array<std::pair<Enum, std::string_view>, N>;

template <class Enum, std::size_t N>
std::optional<std::string_view> nameIn(const EnumNameTable<Enum, N>& table, Enum value) {
    for (const auto& [known, name] : table) {
        if (known == value) {
            return name;
        }
    }
    return std::nullopt;
}

template <class Enum, std::size_t N>
std::optional<Enum> valueIn(const EnumNameTable<Enum, N>& table, std::string_view name) {
    for (const auto& [value, known] : table) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace ml
