#pragma once
// What one family of devices runs: the recommended model, the models it can run and (filled by the
// configuration) the known models it cannot.

#include <string>
#include <vector>

namespace sonavex {

struct ModelSupport {
    /// The recommended model ("default" in the file; a reserved word here).
    std::string defaultModel;
    std::vector<std::string> supported;
    /// Never read from or written to a file.
    std::vector<std::string> disabled;

    bool operator==(const ModelSupport&) const = default;
};

} // namespace sonavex
