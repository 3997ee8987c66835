#pragma once
// A model set as the model downloader looks for it: its files live in base/name[/version][/variant], and
// the hub repository holds them under name/(version|*)/(variant|*)/.

#include "Platform/ML/Model/ComputeUnits.h"

#include <filesystem>
#include <optional>
#include <string>

namespace orvane {

struct ModelInfo {
    ModelInfo(std::optional<std::string> version, std::optional<std::string> variant, std::string name,
              ml::ComputeUnits computeUnits)
        : version(std::move(version)), variant(std::move(variant)), name(std::move(name)),
          computeUnits(computeUnits) {}

    std::optional<std::string> version;
    std::optional<std::string> variant;
    std::string name;
    /// Carried for the caller; the downloader never reads it.
    ml::ComputeUnits computeUnits;

    /// base/name, then version and variant when set.
    std::filesystem::path modelURL(const std::filesystem::path& baseURL) const;
    /// "name/version/variant/*" with "*" for an absent version or variant.
    std::string downloadPattern() const;
    /// The set parts among name, version, variant, joined with "/".
    std::string description() const;
    /// "ModelInfo(name: …, version: …, variant: …, computeUnit: …)", "nil" for absent parts.
    std::string debugDescription() const;
    /// The folder above the nearest component equal to `name`, searching upward from `url`; the root is
    /// never compared. Nothing when no component matches.
    std::optional<std::filesystem::path> findBaseFolder(const std::filesystem::path& url) const;
};

} // namespace orvane
