#pragma once
// The textual description of a value, as log messages render their items: text as is, numbers in
// their shortest exact decimal form (a whole floating value keeps ".0"; exponent form only for very large
// or small values), Booleans as true/false, types with a `description()` member through it, errors by
// what(), anything else through operator<<.

#include <charconv>
#include <cmath>
#include <concepts>
#include <exception>
#include <filesystem>
#include <limits>
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

// Decimal notation from 1e-4 up to the largest power of two below which every integer is exact (2^24 for
// float, 2^53 for double), exponent notation outside it, as the engine's platform prints numbers. The
// shortest form alone would write a whole 1000000.0 as "1e+06" and lose the ".0" a whole value shows.
template <std::floating_point T> std::string describeFloating(T value) {
    char buffer[64];
    auto scientific = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    std::string text(buffer, scientific.ptr);
    const auto exponentAt = text.find('e');
    if (exponentAt == std::string::npos) {
        return text; // "inf", "-inf", "nan"
    }
    const int exponent = std::stoi(text.substr(exponentAt + 1));
    const T exactIntegerLimit = std::ldexp(T(1), std::numeric_limits<T>::digits);
    if (value != 0 && (exponent < -4 || (value < 0 ? -value : value) > exactIntegerLimit)) {
        return text;
    }
    auto fixed = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    text.assign(buffer, fixed.ptr);
    if (text.find('.') == std::string::npos) {
        text += ".0";
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
