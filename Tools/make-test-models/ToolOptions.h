#pragma once
// The generator's command line: "--name value" pairs after nothing else.

#include <cstdint>
#include <map>
#include <set>
#include <string>

class ToolOptions {
public:
    /// Throws std::invalid_argument for a stray argument or a flag without a value.
    ToolOptions(int argc, char** argv);

    bool has(const std::string& name) const;
    std::string text(const std::string& name) const;
    std::string text(const std::string& name, const std::string& defaultValue) const;
    int64_t integer(const std::string& name) const;
    int64_t integer(const std::string& name, int64_t defaultValue) const;

    /// Throws std::invalid_argument naming a flag that nothing has asked about: a misspelt or misplaced
    /// flag must not quietly give a model with the default instead.
    void requireAllUsed() const;

private:
    std::map<std::string, std::string> values_;
    mutable std::set<std::string> asked_;
};
