#pragma once
// One user-perceived character of a BinaryDistinctString, kept as its exact UTF-16 code units.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace orvane {

class BinaryDistinctCharacter {
public:
    BinaryDistinctCharacter() = default;
    explicit BinaryDistinctCharacter(std::u16string bytes) : bytes_(std::move(bytes)) {}
    /// The UTF-16 units of UTF-8 text. Literals convert implicitly.
    BinaryDistinctCharacter(const char* utf8) : BinaryDistinctCharacter(std::string_view(utf8)) {}
    explicit BinaryDistinctCharacter(std::string_view utf8);

    /// The units (16-bit, despite the name).
    const std::u16string& bytes() const { return bytes_; }
    std::string string() const;
    /// BinaryDistinctCharacter('a', bytes: ["0x61"])
    std::string description() const;

    friend bool operator==(const BinaryDistinctCharacter&, const BinaryDistinctCharacter&) = default;

private:
    std::u16string bytes_;
};

} // namespace orvane

template <> struct std::hash<orvane::BinaryDistinctCharacter> {
    std::size_t operator()(const orvane::BinaryDistinctCharacter& c) const noexcept {
        return std::hash<std::u16string_view>()(c.bytes());
    }
};
