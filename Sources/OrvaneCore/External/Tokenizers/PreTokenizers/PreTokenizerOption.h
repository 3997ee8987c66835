#pragma once
// Hints the pipeline passes to a pre-tokenizer: `firstSection` marks the first section of a text (the
// text before the first added token), which word-marker pre-tokenizers may treat differently.

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace orvane {

enum class PreTokenizerOption { firstSection };

using PreTokenizerOptions = std::set<PreTokenizerOption>;

std::string toString(PreTokenizerOption option);
std::optional<PreTokenizerOption> preTokenizerOptionFromString(std::string_view raw);

} // namespace orvane
