#include "Sonavex/Utilities/Writers/ResultWriting.h"

#include "OrvaneCore/External/Hub/Files/AtomicFile.h"
#include "Platform/Net/Url.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace sonavex {

namespace {

// Truncation toward zero that saturates instead of leaving the 64-bit range (undefined behaviour).
int64_t truncated(float value) {
    if (value >= 0x1p63f) {
        return INT64_MAX;
    }
    if (value < -0x1p63f) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(value);
}

std::string padded(int64_t value, int width) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
    return buffer;
}

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\v\f") == std::string_view::npos;
}

// A blank line ends a cue, so the text keeps its lines but none that is blank: the lines between line
// breaks ("\n", "\r\n" or "\r") that hold only blanks go, the rest are joined by "\n". The text starts
// and ends a line of the file already, so a break at either end goes too.
std::string cueText(std::string_view text) {
    if (text.find_first_of("\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string kept;
    for (size_t start = 0; start <= text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        if (!isBlankLine(line)) {
            if (!kept.empty()) {
                kept += '\n';
            }
            kept += line;
        }
        start = end + 1;
    }
    return kept;
}

// WebVTT reads "<" as the start of a tag, "&" as the start of a character reference, and "-->" as the
// end of a timing line, so a cue's text writes them as entities, which a player shows as the characters.
std::string escapedForWebVTT(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '&') {
            escaped += "&amp;";
        } else if (c == '<') {
            escaped += "&lt;";
        } else if (c == '>' && escaped.ends_with("--")) {
            escaped += "&gt;";
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string ResultWriting::formatTime(float seconds, bool alwaysIncludeHours,
                                      const std::string& decimalMarker) const {
    // Beyond this the hours no longer fit 64 bits: such times all format as this one.
    constexpr float largestTime = 0x1p63f * 3600.0f;
    const float x = std::isfinite(seconds) && seconds > 0 ? std::min(seconds, largestTime) : 0.0f;
    const int64_t hours = truncated(x / 3600.0f);
    const int64_t minutes = truncated(std::fmod(x, 3600.0f) / 60.0f);
    const int64_t wholeSeconds = truncated(std::fmod(x, 60.0f));
    const int64_t milliseconds = truncated((x - std::floor(x)) * 1000.0f);
    std::string text;
    if (!alwaysIncludeHours && hours < 1) {
        text = padded(minutes, 2) + ":" + padded(wholeSeconds, 2);
    } else {
        text = padded(hours, 2) + ":" + padded(minutes, 2) + ":" + padded(wholeSeconds, 2);
    }
    return text + decimalMarker + padded(milliseconds, 3);
}

std::string ResultWriting::formatSegment(int64_t index, float start, float end,
                                         const std::string& text) const {
    return std::to_string(index) + "\n" + formatTime(start, true, ",") + " --> " +
           formatTime(end, true, ",") + "\n" + cueText(text) + "\n\n";
}

std::string ResultWriting::formatTiming(float start, float end, const std::string& text) const {
    return formatTime(start, false, ".") + " --> " + formatTime(end, false, ".") + "\n" +
           escapedForWebVTT(cueText(text)) + "\n\n";
}

std::vector<ResultWriting::Cue> ResultWriting::cues(const TranscriptionResult& result) {
    std::vector<Cue> entries;
    for (const TranscriptionSegment& segment : result.segments()) {
        if (segment.words && !segment.words->empty()) {
            for (const WordTiming& word : *segment.words) {
                entries.push_back({word.start, word.end, word.word});
            }
        } else {
            entries.push_back({segment.start, segment.end, segment.text});
        }
    }
    return entries;
}

} // namespace sonavex
