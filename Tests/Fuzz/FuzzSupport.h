#pragma once
// What the fuzz targets share: a scratch folder for parsers that read files, the split of one input
// into several documents, and the checked-in test data.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

/// A private folder of this process, made on first use and removed at exit.
const std::filesystem::path& scratchFolder();

/// Writes `bytes` to scratchFolder()/name and returns the path.
std::filesystem::path writeScratch(const std::string& name, std::string_view bytes);

/// The input cut at each line "@@@@" into at most `count` parts; missing parts are empty. Seeds stay
/// readable: a tokenizer file, its configuration and a text, one after another.
std::vector<std::string> parts(const std::uint8_t* data, std::size_t size, std::size_t count);

/// Tests/Data/<relative> in the source tree.
std::filesystem::path dataPath(const std::string& relative);

} // namespace fuzz
