#include "OrvaneCoreTests/Tokenizers/TokenizerTestSupport.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace tokenizertest {

std::vector<nlohmann::json> expectedLines(const std::string& name) {
    std::istringstream lines(testsupport::readFile(testsupport::dataPath("tokenizers/expected/" + name + ".jsonl")));
    std::vector<nlohmann::json> expected;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) expected.push_back(nlohmann::json::parse(line));
    }
    return expected;
}

} // namespace tokenizertest
