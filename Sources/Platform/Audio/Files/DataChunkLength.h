#pragma once
// The frames the data chunk of a PCM WAV or CAF file declares. The media library drops this number when
// the chunk runs past the end of the file and counts what is there instead; a file cut short is told
// apart from a short file only by it.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace audio {

/// Nothing for other files, compressed data, or a chunk whose size is left open ("to the end").
std::optional<std::int64_t> dataChunkFrames(const std::filesystem::path& path);

} // namespace audio
