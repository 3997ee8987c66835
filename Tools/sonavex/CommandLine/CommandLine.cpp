#include "CommandLine/CommandLine.h"

namespace sonavex::tool {

namespace {

bool looksLikeOption(const std::string& argument) {
    // "-" alone means standard input, and negative numbers are values, not options.
    return argument.size() > 2 && argument.compare(0, 2, "--") == 0;
}

} // namespace

CommandLine::CommandLine(std::vector<std::string> arguments)
    : arguments_(std::move(arguments)), taken_(arguments_.size(), false) {}

bool CommandLine::takeFlag(const std::string& name) {
    bool found = false;
    for (size_t i = 0; i < arguments_.size(); ++i) {
        if (!taken_[i] && arguments_[i] == name) {
            taken_[i] = true;
            found = true;
        }
    }
    return found;
}

std::vector<std::string> CommandLine::takeOptions(const std::string& name) {
    std::vector<std::string> values;
    const std::string prefix = name + "=";
    for (size_t i = 0; i < arguments_.size(); ++i) {
        if (taken_[i]) {
            continue;
        }
        if (arguments_[i] == name) {
            if (i + 1 >= arguments_.size() || taken_[i + 1]) {
                throw UsageError(name + " needs a value");
            }
            taken_[i] = taken_[i + 1] = true;
            values.push_back(arguments_[i + 1]);
            ++i;
        } else if (arguments_[i].compare(0, prefix.size(), prefix) == 0) {
            taken_[i] = true;
            values.push_back(arguments_[i].substr(prefix.size()));
        }
    }
    return values;
}

std::optional<std::string> CommandLine::takeOption(const std::string& name) {
    auto values = takeOptions(name);
    if (values.empty()) {
        return std::nullopt;
    }
    return values.back();
}

std::optional<std::string> CommandLine::takeOptionalPositional() {
    for (size_t i = 0; i < arguments_.size(); ++i) {
        if (!taken_[i] && !looksLikeOption(arguments_[i])) {
            taken_[i] = true;
            return arguments_[i];
        }
    }
    return std::nullopt;
}

std::string CommandLine::takePositional(const std::string& what) {
    auto value = takeOptionalPositional();
    if (!value) {
        throw UsageError("missing " + what);
    }
    return *value;
}

std::vector<std::string> CommandLine::takeRemainingPositionals() {
    std::vector<std::string> values;
    while (auto value = takeOptionalPositional()) {
        values.push_back(*value);
    }
    return values;
}

void CommandLine::finish() const {
    for (size_t i = 0; i < arguments_.size(); ++i) {
        if (!taken_[i]) {
            throw UsageError((looksLikeOption(arguments_[i]) ? "unknown option " : "unexpected argument ") +
                             arguments_[i]);
        }
    }
}

} // namespace sonavex::tool
