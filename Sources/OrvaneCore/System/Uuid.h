#pragma once
// A 128-bit universally unique identifier. A default-constructed Uuid is a fresh random (version 4)
// one, so every run or job that makes one gets its own; the text form is canonical lower case.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    /// A new random version-4 identifier (from the kernel's random source).
    Uuid();
    explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    /// Reads the 36-character form "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (either case); none otherwise.
    static std::optional<Uuid> fromString(std::string_view text);

    const Bytes& bytes() const { return bytes_; }
    /// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" in lower-case hexadecimal.
    std::string uuidString() const;
    std::string description() const { return uuidString(); }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend std::strong_ordering operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes bytes_;
};

} // namespace orvane

template <> struct std::hash<orvane::Uuid> {
    std::size_t operator()(const orvane::Uuid& uuid) const noexcept;
};
