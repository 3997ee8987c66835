#pragma once
// The textual description of a value, as log messages render their items: text as is, numbers in
// their shortest exact decimal form (a whole floating value keeps ".0"), Booleans as true/false,
// types with a `description()` member through it, errors by what(), anything else through operator<<.

#include <charconv>
#include <concepts>
#include <exception>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>

namespace orvane {

namespace detail {

template <class T>
concept HasDescription = requires(const T& value) {
    { value.description() } -> std::convertible_to<std::string>;
};

template <class T>
concept Streamable = requires(std::ostream& stream, const T& value) {
    stream << value;
};

template <std::floating_point T> std::string describeFloating(T value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".eni") == std::string::npos) {
        text += ".0"; // "inf" and "nan" carry an 'n' or 'i' and stay as they are
    }
    return text;
}

} // namespace detail

template <class T> std::string describing(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::is_same_v<T, char>) {
        return std::string(1, value);
    } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
        return value ? std::string(value) : std::string("nil");
    } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return std::string(std::string_view(value));
    } else if constexpr (std::is_integral_v<T>) {
        return std::to_string(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return detail::describeFloating(value);
    } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
        return value.string();
    } else if constexpr (detail::HasDescription<T>) {
        return std::string(value.description());
    } else if constexpr (std::is_base_of_v<std::exception, T>) {
        return value.what();
    } else {
        static_assert(detail::Streamable<T>, "describing(): give the type a description() or operator<<");
        std::ostringstream stream;
        stream << value;
        return stream.str();
    }
}

} // namespace orvane
