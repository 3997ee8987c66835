#include "OrvaneCore/Models/ModelInfo.h"

#include "OrvaneCore/Models/ModelPrediction.h"

#include <vector>

namespace orvane {

namespace {

/// Appends as a component even when the text starts with "/", which a plain path join would take as a
/// new root.
std::filesystem::path appendingComponent(const std::filesystem::path& base, const std::string& component) {
    auto start = component.find_first_not_of('/');
    return start == std::string::npos ? base : base / component.substr(start);
}

/// The path without trailing separators, so "a/b/" ends in "b" as a URL's last component would.
std::filesystem::path withoutTrailingSeparator(std::filesystem::path path) {
    while (path.has_relative_path() && !path.has_filename()) {
        path = path.parent_path();
    }
    return path;
}

std::size_t componentCount(const std::filesystem::path& path) {
    std::size_t count = 0;
    for (const auto& part : path) {
        if (!part.empty()) {
            ++count;
        }
    }
    return count;
}

} // namespace

std::filesystem::path ModelInfo::modelURL(const std::filesystem::path& baseURL) const {
    auto url = appendingComponent(baseURL, name);
    if (version) {
        url = appendingComponent(url, *version);
    }
    if (variant) {
        url = appendingComponent(url, *variant);
    }
    return url;
}

std::string ModelInfo::downloadPattern() const {
    return name + "/" + version.value_or("*") + "/" + variant.value_or("*") + "/*";
}

std::string ModelInfo::description() const {
    std::string text = name;
    for (const auto* part : {&version, &variant}) {
        if (*part) {
            text += "/" + **part;
        }
    }
    return text;
}

std::string ModelInfo::debugDescription() const {
    return "ModelInfo(name: " + name + ", version: " + version.value_or("nil") +
           ", variant: " + variant.value_or("nil") + ", computeUnit: " + orvane::description(computeUnits) +
           ")";
}

std::optional<std::filesystem::path> ModelInfo::findBaseFolder(const std::filesystem::path& url) const {
    auto current = withoutTrailingSeparator(url);
    while (componentCount(current) > 1) {
        if (current.filename() == name) {
            return current.parent_path();
        }
        current = current.parent_path();
    }
    return std::nullopt;
}

} // namespace orvane
