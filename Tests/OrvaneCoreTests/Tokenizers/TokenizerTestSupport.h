#pragma once
// Helpers of the tokenizer tests: configurations written as JSON text, and tokenizers built from the
// real tokenizer files under Tests/Data/tokenizers.

#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizer.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerError.h"

#include "Support/TestSupport.h"

#include <nlohmann/json_fwd.hpp>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tokenizertest {

/// A configuration value read from JSON text the way configuration files are read.
inline orvane::Config json(std::string_view text) {
    return orvane::BomPreservingJsonReader::bomPreservingJsonObject(text);
}

inline orvane::Config jsonFile(const std::string& relative) {
    return json(testsupport::readFile(testsupport::dataPath("tokenizers/" + relative)));
}

/// The message of the TokenizerError that `build` throws, or `whenBuilt` when it throws none.
template <typename Build> std::string errorOf(Build build, const std::string& whenBuilt = "built") {
    try {
        build();
    } catch (const orvane::TokenizerError& error) {
        return error.what();
    }
    return whenBuilt;
}

/// The tokenizer of a folder under Tests/Data/tokenizers, built once per test program.
inline const orvane::PreTrainedTokenizer& fixtureTokenizer(const std::string& name) {
    static std::map<std::string, std::unique_ptr<orvane::PreTrainedTokenizer>> built;
    auto& tokenizer = built[name];
    if (!tokenizer) {
        tokenizer = std::make_unique<orvane::PreTrainedTokenizer>(jsonFile(name + "/tokenizer_config.json"),
                                                                  jsonFile(name + "/tokenizer.json"), true);
    }
    return *tokenizer;
}

/// The reference outputs of Tests/Data/tokenizers/expected/<name>.jsonl, one object per line.
std::vector<nlohmann::json> expectedLines(const std::string& name);

} // namespace tokenizertest
