#pragma once
// A version as the update feed writes it: dot-separated whole numbers ("1", "1.2", "10.0.3"). Versions
// compare part by part as numbers, a missing part counting as 0, so "1.2" and "1.2.0" are the same
// version and "1.10" is newer than "1.9".

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace desktop {

class UpdateVersion {
public:
    /// Nothing for text that is not such a version: empty text or parts, anything but ASCII digits and
    /// dots (signs and white space included), a part too large for 64 bits.
    static std::optional<UpdateVersion> parse(std::string_view text);

    /// The version as written.
    const std::string& text() const { return text_; }

    std::strong_ordering operator<=>(const UpdateVersion& other) const;
    bool operator==(const UpdateVersion& other) const { return (*this <=> other) == 0; }

private:
    UpdateVersion(std::string text, std::vector<std::uint64_t> parts)
        : text_(std::move(text)), parts_(std::move(parts)) {}

    std::string text_;
    std::vector<std::uint64_t> parts_;
};

} // namespace desktop
