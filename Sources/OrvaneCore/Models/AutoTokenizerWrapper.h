#pragma once
// The one call that turns a model repository, on the hub or in a local folder, into a ready tokenizer:
// it loads the tokenizer configuration and data, builds the tokenizer class they name and wraps it.

#include "OrvaneCore/External/Hub/Client/HubApiWrapper.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerWrapper.h"

#include <filesystem>
#include <stop_token>
#include <string>

namespace orvane {

struct AutoTokenizerWrapper {
    /// Fetches the repository's configuration files at revision "main" into the mirror. The class comes
    /// from the configuration's "tokenizer_class" without "Fast" (Llama configurations get their own).
    /// Throws the hub's errors, TokenizerError missingConfig without a tokenizer configuration, and the
    /// tokenizer's construction errors; CancellationError when `stop` is triggered.
    static TokenizerWrapper fromPretrained(const std::string& pretrained, const HubApiWrapper& hubApi,
                                           bool strict, std::stop_token stop = {});

    /// Reads a local folder; the tokenizer is always the general class, whatever the configuration names.
    static TokenizerWrapper fromModelFolder(const std::filesystem::path& modelFolder,
                                            const HubApiWrapper& hubApi, bool strict);

    /// The class a tokenizer configuration's "tokenizer_class" selects ("Fast" removed; unknown or absent
    /// names give the general class), built from the configuration and data.
    static TokenizerWrapper ofConfiguredClass(const Config& tokenizerConfig, const Config& tokenizerData,
                                              bool strict);
};

} // namespace orvane
