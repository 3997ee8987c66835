// The SubRip and WebVTT files of results with any texts and times: each reads back as exactly one cue
// per segment, or per word of a segment with words, whatever the texts hold (line breaks of any kind,
// blank lines, "-->", timing lines, markup) and whatever the times are (negative, not finite, huge).
//
// The input is entries cut at lines "@@@@". An entry's first line is "START END" (read by strtof, so
// "nan", "-inf" and "1e30" work), the rest its text. "w START END" makes the entry a word of the segment
// before it; "e START END" a segment with an empty word list.

#include "Fuzz/FuzzSupport.h"
#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Writers/WriteVTT.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isBlankLine(std::string_view line) {
    return line.find_first_not_of(" \t\v\f") == std::string_view::npos;
}

void require(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

/// The file's blocks: the runs of lines that are not blank, as a player that ends a cue at any blank
/// (or white-space-only) line reads them.
std::vector<std::vector<std::string_view>> blocks(std::string_view contents) {
    require(contents.find('\r') == std::string_view::npos); // a line break to some players
    std::vector<std::vector<std::string_view>> found;
    bool inBlock = false;
    for (size_t start = 0; start <= contents.size();) {
        const size_t end = std::min(contents.find('\n', start), contents.size());
        const std::string_view line = contents.substr(start, end - start);
        if (isBlankLine(line)) {
            inBlock = false;
        } else {
            if (!inBlock) {
                found.emplace_back();
            }
            inBlock = true;
            found.back().push_back(line);
        }
        start = end + 1;
    }
    return found;
}

bool isNumber(std::string_view text, size_t minimumDigits) {
    return text.size() >= minimumDigits &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

/// "[HH…:]MM:SS<marker>mmm", minutes and seconds below 60; the hours there when required.
bool isTime(std::string_view text, char marker, bool hoursRequired) {
    const size_t markerAt = text.find(marker);
    if (markerAt == std::string_view::npos || text.size() - markerAt != 4 ||
        !isNumber(text.substr(markerAt + 1), 3)) {
        return false;
    }
    std::vector<std::string_view> fields;
    for (size_t start = 0; start <= markerAt;) {
        const size_t end = std::min(text.find(':', start), markerAt);
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (fields.size() != 3 && (hoursRequired || fields.size() != 2)) {
        return false;
    }
    if (fields.size() == 3 && !isNumber(fields[0], 2)) {
        return false;
    }
    for (size_t i = fields.size() - 2; i < fields.size(); ++i) {
        if (fields[i].size() != 2 || !isNumber(fields[i], 2) || fields[i][0] > '5') {
            return false;
        }
    }
    return true;
}

bool isTimingLine(std::string_view line, char marker, bool hoursRequired) {
    const size_t arrow = line.find(" --> ");
    return arrow != std::string_view::npos && isTime(line.substr(0, arrow), marker, hoursRequired) &&
           isTime(line.substr(arrow + 5), marker, hoursRequired);
}

/// A WebVTT cue text line as a player shows it: no "<" (a tag would start), and every "&" one of the
/// three references the writer uses, read back in one pass.
std::string shownWebVTTText(std::string_view line) {
    require(line.find('<') == std::string_view::npos);
    std::string shown;
    for (size_t at = 0; at < line.size(); ++at) {
        if (line[at] != '&') {
            shown += line[at];
            continue;
        }
        const std::string_view rest = line.substr(at);
        if (rest.starts_with("&amp;")) {
            shown += '&';
            at += 4;
        } else if (rest.starts_with("&lt;") || rest.starts_with("&gt;")) {
            shown += rest[1] == 'l' ? '<' : '>';
            at += 3;
        } else {
            require(false);
        }
    }
    return shown;
}

// The writers' files without the disk (each write syncs its file, which slows the runs ninetyfold): the
// same cues through the same formatting, in the same order.
struct Subtitles : sonavex::WriteVTT {
    Subtitles() : WriteVTT("") {}

    std::string srt(const sonavex::TranscriptionResult& result) const {
        std::string contents;
        int64_t index = 1;
        for (const Cue& cue : cues(result)) {
            contents += formatSegment(index++, cue.start, cue.end, cue.text);
        }
        return contents;
    }

    std::string vtt(const sonavex::TranscriptionResult& result) const {
        std::string contents = "WEBVTT\n\n";
        for (const Cue& cue : cues(result)) {
            contents += formatTiming(cue.start, cue.end, cue.text);
        }
        return contents;
    }
};

sonavex::TranscriptionResult resultFrom(const std::uint8_t* data, std::size_t size) {
    std::vector<sonavex::TranscriptionSegment> segments;
    for (const std::string& entry : fuzz::parts(data, size, 64)) {
        if (entry.empty()) {
            continue;
        }
        const size_t lineEnd = std::min(entry.find('\n'), entry.size());
        const std::string header = entry.substr(0, lineEnd);
        const std::string text = lineEnd < entry.size() ? entry.substr(lineEnd + 1) : "";
        const char kind = header.size() > 1 && header[1] == ' ' ? header[0] : ' ';
        const char* cursor = header.c_str() + (kind == ' ' ? 0 : 2);
        char* rest = nullptr;
        const float start = std::strtof(cursor, &rest);
        const float end = std::strtof(rest, nullptr);
        if (kind == 'w') {
            if (segments.empty()) {
                segments.emplace_back();
            }
            auto& words = segments.back().words;
            if (!words) {
                words.emplace();
            }
            words->push_back({text, {1}, start, end, 1});
            continue;
        }
        sonavex::TranscriptionSegment segment;
        segment.id = static_cast<int>(segments.size());
        segment.start = start;
        segment.end = end;
        segment.text = text;
        if (kind == 'e') {
            segment.words.emplace();
        }
        segments.push_back(std::move(segment));
    }
    return sonavex::TranscriptionResult("", std::move(segments), "en", {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const sonavex::TranscriptionResult result = resultFrom(data, size);
    size_t cues = 0;
    for (const auto& segment : result.segments()) {
        cues += segment.words && !segment.words->empty() ? segment.words->size() : 1;
    }

    const Subtitles subtitles;
    // SubRip: the index counting from 1, the timing line, the text.
    const std::string srtContents = subtitles.srt(result);
    const auto srtBlocks = blocks(srtContents);
    require(srtBlocks.size() == cues);
    for (size_t i = 0; i < srtBlocks.size(); ++i) {
        require(srtBlocks[i].size() >= 2 && srtBlocks[i][0] == std::to_string(i + 1) &&
                isTimingLine(srtBlocks[i][1], ',', true));
    }

    // WebVTT: the header, then per cue the timing line and a text without "-->" that a player shows as
    // the SubRip file's text (which is written as it stands).
    const std::string vttContents = subtitles.vtt(result);
    require(vttContents.starts_with("WEBVTT\n\n"));
    const auto vttBlocks = blocks(std::string_view(vttContents).substr(8));
    require(vttBlocks.size() == cues);
    for (size_t i = 0; i < vttBlocks.size(); ++i) {
        const auto& block = vttBlocks[i];
        require(isTimingLine(block[0], '.', false));
        require(block.size() - 1 == srtBlocks[i].size() - 2);
        for (size_t line = 1; line < block.size(); ++line) {
            require(block[line].find("-->") == std::string_view::npos);
            require(shownWebVTTText(block[line]) == srtBlocks[i][line + 1]);
        }
    }
    return 0;
}
