#pragma once
// Builds a tokenizer from a model folder's "tokenizer.json", "tokenizer_config.json" and "config.json",
// the way the automatic tokenizer loader does for a local folder.

#include "OrvaneCore/External/Tokenizers/PreTrainedTokenizer.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace tokenize_tool {

/// A folder whose files cannot be read or parsed; what() names the file and the problem.
class FolderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The tokenizer configuration with "tokenizer_class" completed from "config.json"'s model type when it
/// has no string one ("whisper" gives "WhisperTokenizer").
orvane::Config completedTokenizerConfig(const orvane::Config& tokenizerConfig,
                                        const orvane::Config* modelConfig);

/// Loads the folder. By default the class is the general PreTrainedTokenizer (as for a folder); with
/// `classFromConfig` it is the class the tokenizer class name selects (as for a hub repository).
/// Throws FolderError for unreadable files and orvane::TokenizerError for configurations no tokenizer can
/// be built from.
std::unique_ptr<orvane::PreTrainedTokenizer> loadFolder(const std::filesystem::path& folder,
                                                        bool classFromConfig, bool strict);

} // namespace tokenize_tool
