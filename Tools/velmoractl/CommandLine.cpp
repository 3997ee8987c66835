#include "CommandLine.h"

#include "ToolOutput.h"
#include "VelmoraCore/Settings/AppSettings.h"

#include <charconv>
#include <cmath>

namespace velmoractl {

CommandLine::CommandLine(const Arguments& arguments, const std::set<std::string>& optionNames,
                         const std::set<std::string>& flagNames) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (!word.starts_with("--")) {
            positional_.push_back(word);
            continue;
        }
        if (flagNames.contains(word)) {
            if (!flags_.insert(word).second) {
                throw UsageError(word + " given twice");
            }
            continue;
        }
        if (!optionNames.contains(word)) {
            throw UsageError("unknown option " + word);
        }
        if (i + 1 >= arguments.size()) {
            throw UsageError("missing value after " + word);
        }
        if (!options_.emplace(word, arguments[i + 1]).second) {
            throw UsageError(word + " given twice");
        }
        ++i;
    }
}

std::optional<std::string> CommandLine::option(const std::string& name) const {
    auto found = options_.find(name);
    if (found == options_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::string CommandLine::requiredOption(const std::string& name) const {
    if (auto value = option(name)) {
        return *value;
    }
    throw UsageError("missing " + name);
}

float finiteFloat(const std::string& name, const std::string& text) {
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        throw UsageError(name + " needs a finite number, not \"" + text + "\"");
    }
    return value;
}

float floatInRange(const std::string& name, const std::string& text, float lowest, float highest) {
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // A value out of float's range parses as an error, and NaN fails both comparisons: all are refused.
    if (error != std::errc() || end != text.data() + text.size() || !(value >= lowest && value <= highest)) {
        throw UsageError(name + " must be a number from " + numberText(lowest) + " to " +
                         numberText(highest) + ", not \"" + text + "\"");
    }
    return value;
}

float vadThresholdArgument(const std::string& name, const std::string& text) {
    return floatInRange(name, text, velmora::AppSettings::lowestVADThreshold,
                        velmora::AppSettings::highestVADThreshold);
}

} // namespace velmoractl
