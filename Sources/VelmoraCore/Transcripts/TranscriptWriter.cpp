#include "VelmoraCore/Transcripts/TranscriptWriter.h"

#include "OrvaneCore/External/Hub/Files/AtomicFile.h"
#include "VelmoraCore/JsonText.h"
#include "VelmoraCore/Transcripts/TranscriptWriterError.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace velmora {

std::vector<MergedSegment> TranscriptWriter::merge(const std::vector<TranscriptSegment>& me,
                                                   const std::vector<TranscriptSegment>& other) {
    std::vector<MergedSegment> merged;
    merged.reserve(me.size() + other.size());
    for (const auto& segment : me) {
        merged.push_back({segment.startSeconds, segment.endSeconds, Speaker::me, segment.text});
    }
    for (const auto& segment : other) {
        merged.push_back({segment.startSeconds, segment.endSeconds, Speaker::other, segment.text});
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const MergedSegment& a, const MergedSegment& b) { return a.startSeconds < b.startSeconds; });
    return merged;
}

std::string TranscriptWriter::timeStamp(double startSeconds) {
    // 2^63 is exact as a double; every finite value below it and at or above -2^63 truncates into range.
    constexpr double limit = 9223372036854775808.0;
    if (!std::isfinite(startSeconds) || startSeconds >= limit || startSeconds < -limit) {
        throw TranscriptWriterError::invalidTime(startSeconds);
    }
    const auto t = static_cast<std::int64_t>(startSeconds);
    char stamp[96];
    if (t < 3600) {
        std::snprintf(stamp, sizeof stamp, "%02lld:%02lld", static_cast<long long>(t / 60),
                      static_cast<long long>(t % 60));
    } else {
        std::snprintf(stamp, sizeof stamp, "%02lld:%02lld:%02lld", static_cast<long long>(t / 3600),
                      static_cast<long long>((t % 3600) / 60), static_cast<long long>(t % 60));
    }
    return stamp;
}

std::string TranscriptWriter::textTranscript(const std::vector<MergedSegment>& segments) {
    std::string text;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            text += '\n';
        }
        const MergedSegment& segment = segments[i];
        text += "[" + timeStamp(segment.startSeconds) + "] ";
        text += rawValue(segment.speaker);
        text += ": " + segment.text;
    }
    return text;
}

namespace {

std::string timeValue(double seconds) {
    if (!std::isfinite(seconds)) {
        throw TranscriptWriterError::invalidTime(seconds);
    }
    return json::number(seconds);
}

} // namespace

std::string TranscriptWriter::jsonTranscript(const std::vector<MergedSegment>& segments) {
    if (segments.empty()) {
        return "[]";
    }
    std::string out = "[\n";
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const MergedSegment& segment = segments[i];
        out += "  {\n    \"endSeconds\" : " + timeValue(segment.endSeconds) + ",\n";
        out += "    \"speaker\" : ";
        json::appendString(out, rawValue(segment.speaker), json::Slash::escaped);
        out += ",\n    \"startSeconds\" : " + timeValue(segment.startSeconds) + ",\n";
        out += "    \"text\" : ";
        json::appendString(out, segment.text, json::Slash::escaped);
        out += i + 1 < segments.size() ? "\n  },\n" : "\n  }\n";
    }
    return out + "]";
}

void TranscriptWriter::writeText(const std::vector<MergedSegment>& segments, const std::filesystem::path& file) {
    orvane::AtomicFile::write(file, textTranscript(segments));
}

void TranscriptWriter::writeJSON(const std::vector<MergedSegment>& segments, const std::filesystem::path& file) {
    // Atomic as well: a failed write must not leave half a transcript behind.
    orvane::AtomicFile::write(file, jsonTranscript(segments));
}

} // namespace velmora
