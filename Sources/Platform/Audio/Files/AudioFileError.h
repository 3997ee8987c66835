#pragma once
// A failure of the audio-file layer: a file that cannot be opened, decoded or converted. The text is
// "<what was being done> <file>: <reason>", where the reason is the media library's own message when
// the library reported the failure.

#include <stdexcept>
#include <string>

namespace audio {

class AudioFileError : public std::runtime_error {
public:
    /// A failure found by this layer itself (no library error code).
    AudioFileError(const std::string& operation, const std::string& path, const std::string& reason);
    /// A failure the media library reported with `libraryCode` (a negative FFmpeg error code); `cause`,
    /// when given, is what the library logged about it, and comes first in the reason.
    AudioFileError(const std::string& operation, const std::string& path, int libraryCode,
                   const std::string& cause = {});

    const std::string& operation() const { return operation_; }
    const std::string& path() const { return path_; }
    const std::string& reason() const { return reason_; }
    /// 0 when the failure did not come from the library.
    int libraryCode() const { return libraryCode_; }

    /// The media library's text for one of its error codes.
    static std::string libraryMessage(int libraryCode);

private:
    std::string operation_;
    std::string path_;
    std::string reason_;
    int libraryCode_ = 0;
};

} // namespace audio
