#pragma once
// What a media file is, before any decoding: its container and whether it holds audio at all. The
// audio file reader refuses a file without audio; callers that must tell "no audio" apart from "not
// readable" ask here first.

#include <filesystem>
#include <string>

namespace audio {

struct ContainerInfo {
    /// A short container name: "caf", "wav", "m4a", "mp4", "mov", "flac", "mp3", … (the MPEG-4 family
    /// is told apart by its major brand).
    std::string container;
    bool hasAudio = false;

    /// Throws AudioFileError (with the library's message) for a file that cannot be opened as media.
    static ContainerInfo inspect(const std::filesystem::path& path);
};

} // namespace audio
