#pragma once
// A stage that writes a transcription result to a file in its output folder: give it the result and a
// file name without extension, get back the written file's address or the error. Nothing is thrown.

#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Errors/Result.h"

#include <any>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace sonavex {

class ResultWriting {
public:
    virtual ~ResultWriting() = default;

    /// The folder files are written into, as a path.
    virtual const std::string& outputDir() const = 0;

    /// Writes `result` to outputDir/`to` plus the writer's extension (the name is used as given). Success
    /// carries the file's absolute "file://" address; failure the error of the encoding or the write.
    /// `options` is accepted and ignored.
    virtual Result<std::string>
    write(const TranscriptionResult& result, const std::string& to,
          const std::optional<std::map<std::string, std::any>>& options = std::nullopt) = 0;

    /// "MM:SS<marker>mmm" below one hour unless `alwaysIncludeHours`, else "HH:MM:SS<marker>mmm" (hours not
    /// limited to two digits); every part computed in 32-bit arithmetic and truncated toward zero. A time
    /// that is negative or not finite formats as 0; a time whose hours do not fit 64 bits is clamped to the
    /// largest time whose hours do.
    virtual std::string formatTime(float seconds, bool alwaysIncludeHours,
                                   const std::string& decimalMarker) const;

    /// A SubRip block: the index, the times with hours and ",", the text and a blank line. The text keeps
    /// its lines but loses blank ones (they would end the block early): it is one block whatever it holds.
    std::string formatSegment(int64_t index, float start, float end, const std::string& text) const;
    /// A WebVTT cue: the times (hours from one hour on) with ".", the text and a blank line. The text's
    /// blank lines go as in formatSegment; "&" in it is written "&amp;", "<" "&lt;" and "-->" "--&gt;".
    std::string formatTiming(float start, float end, const std::string& text) const;

protected:
    /// One subtitle entry: a segment, or one of its words when it has any.
    struct Cue {
        float start;
        float end;
        std::string text;
    };
    static std::vector<Cue> cues(const TranscriptionResult& result);
};

} // namespace sonavex
