#include "Platform/Desktop/Updates/UpdateVersion.h"

#include <charconv>

namespace desktop {

std::optional<UpdateVersion> UpdateVersion::parse(std::string_view text) {
    std::vector<std::uint64_t> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        const std::string_view part = text.substr(start, dot - start);
        std::uint64_t value = 0;
        // from_chars stops at the first non-digit: the whole part must have been read.
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || error != std::errc() || end != part.data() + part.size()) {
            return std::nullopt;
        }
        parts.push_back(value);
        if (dot == text.size()) {
            break;
        }
        start = dot + 1;
    }
    return UpdateVersion(std::string(text), std::move(parts));
}

std::strong_ordering UpdateVersion::operator<=>(const UpdateVersion& other) const {
    const std::size_t count = std::max(parts_.size(), other.parts_.size());
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t mine = i < parts_.size() ? parts_[i] : 0;
        const std::uint64_t theirs = i < other.parts_.size() ? other.parts_[i] : 0;
        if (mine != theirs) {
            return mine <=> theirs;
        }
    }
    return std::strong_ordering::equal;
}

} // namespace desktop
