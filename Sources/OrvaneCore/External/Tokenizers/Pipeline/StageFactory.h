#pragma once
// What the four stage factories share: a table from "type" string to builder, and the lookup that
// turns a configuration object into a stage or the "Unsupported <stage> type: <type>" error.

#include "OrvaneCore/External/Hub/Configuration/Config.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace orvane {

/// A table entry that builds `Type` from the whole configuration (further builder arguments unused).
template <typename Stage, typename Type, typename... Unused>
std::shared_ptr<Stage> makeStage(const Config& config, Unused...) {
    return std::make_shared<Type>(config);
}

/// Null when the configuration has no string "type"; otherwise the stage its builder makes.
template <typename Builders, typename... Args>
auto buildStage(const Builders& builders, std::string_view stageName, const Config& config, Args&&... args)
    -> decltype(builders.begin()->second(config, std::forward<Args>(args)...)) {
    auto type = config["type"].string();
    if (!type)
        return nullptr;
    auto found = builders.find(*type);
    if (found == builders.end()) {
        throw TokenizerError::mismatchedConfig("Unsupported " + std::string(stageName) + " type: " + *type);
    }
    return found->second(config, std::forward<Args>(args)...);
}

} // namespace orvane
