#include "ToolOptions.h"

#include <stdexcept>

ToolOptions::ToolOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("--", 0) != 0 || argument.size() == 2) {
            throw std::invalid_argument("unexpected argument \"" + argument + "\"");
        }
        if (i + 1 >= argc) {
            throw std::invalid_argument(argument + " needs a value");
        }
        values_[argument.substr(2)] = argv[++i];
    }
}

bool ToolOptions::has(const std::string& name) const {
    asked_.insert(name);
    return values_.count(name) != 0;
}

void ToolOptions::requireAllUsed() const {
    for (const auto& [name, value] : values_)
        if (asked_.count(name) == 0)
            throw std::invalid_argument("--" + name + " means nothing here");
}

std::string ToolOptions::text(const std::string& name) const {
    asked_.insert(name);
    auto found = values_.find(name);
    if (found == values_.end()) {
        throw std::invalid_argument("--" + name + " is required");
    }
    return found->second;
}

std::string ToolOptions::text(const std::string& name, const std::string& defaultValue) const {
    return has(name) ? text(name) : defaultValue;
}

int64_t ToolOptions::integer(const std::string& name) const {
    const std::string value = text(name);
    try {
        std::size_t used = 0;
        int64_t number = std::stoll(value, &used);
        if (used == value.size()) {
            return number;
        }
    } catch (const std::exception&) {
    }
    throw std::invalid_argument("--" + name + " needs an integer, not \"" + value + "\"");
}

int64_t ToolOptions::integer(const std::string& name, int64_t defaultValue) const {
    return has(name) ? integer(name) : defaultValue;
}
