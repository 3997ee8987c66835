#pragma once
// Merging the two tracks' segments into one conversation and saving it as "transcript.txt" (one
// "[mm:ss] 自分: text" line per segment) and "transcript.json" (a pretty array with sorted keys).

#include "VelmoraCore/Transcripts/MergedSegment.h"
#include "VelmoraCore/Transcripts/TranscriptSegment.h"

#include <filesystem>
#include <string>
#include <vector>

namespace velmora {

struct TranscriptWriter {
    /// The microphone's segments as "自分", then the system audio's as "相手", stably sorted by start
    /// time: on equal starts the microphone comes first and each track keeps its order.
    static std::vector<MergedSegment> merge(const std::vector<TranscriptSegment>& me,
                                            const std::vector<TranscriptSegment>& other);

    /// "[" time stamp "] " speaker ": " text, lines joined by "\n" with none after the last. The stamp is
    /// mm:ss below an hour, else hh:mm:ss with as many hour digits as needed (whole seconds, truncated).
    static std::string textTranscript(const std::vector<MergedSegment>& segments);
    /// The JSON transcript's bytes: two-space indent, "key" : value, keys sorted, "/" escaped,
    /// non-ASCII as it is, numbers in their shortest form.
    static std::string jsonTranscript(const std::vector<MergedSegment>& segments);

    /// Both write atomically, replacing an existing file: it is either complete or as it was.
    /// They throw TranscriptWriterError for a time they cannot write (before touching the file) and
    /// std::filesystem::filesystem_error when the file cannot be written.
    static void writeText(const std::vector<MergedSegment>& segments, const std::filesystem::path& file);
    static void writeJSON(const std::vector<MergedSegment>& segments, const std::filesystem::path& file);

    /// The time stamp of a start time, as in the text transcript.
    static std::string timeStamp(double startSeconds);
};

} // namespace velmora
