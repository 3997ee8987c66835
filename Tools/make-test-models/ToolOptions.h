#pragma once
// The generator's command line: "--name value" pairs after nothing else.

#include <cstdint>
#include <map>
#include <string>

class ToolOptions {
public:
    /// Throws std::invalid_argument for a stray argument or a flag without a value.
    ToolOptions(int argc, char** argv);

    bool has(const std::string& name) const { return values_.count(name) != 0; }
    std::string text(const std::string& name) const;
    std::string text(const std::string& name, const std::string& defaultValue) const;
    int64_t integer(const std::string& name) const;
    int64_t integer(const std::string& name, int64_t defaultValue) const;

private:
    std::map<std::string, std::string> values_;
};
