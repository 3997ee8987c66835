#include "Results/SubtitleCues.h"

#include <algorithm>

namespace sonavex::tool {

namespace {

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

// A marker is "<|", a name without "<", "|" or ">", and "|>"; a lone "<|" stays.
std::string withoutMarkers(const std::string& text) {
    std::string kept;
    for (size_t at = 0; at < text.size();) {
        if (text.compare(at, 2, "<|") == 0) {
            const size_t close = text.find_first_of("<|>", at + 2);
            if (close != std::string::npos && text.compare(close, 2, "|>") == 0) {
                at = close + 2;
                continue;
            }
        }
        kept += text[at++];
    }
    return kept;
}

template <class Timed> bool startsAfter(const Timed& timed, std::optional<float> end) {
    return end && timed.start >= *end;
}

template <class Timed> void capTimes(Timed& timed, std::optional<float> end) {
    if (end) {
        timed.start = std::min(timed.start, *end);
        timed.end = std::min(timed.end, *end);
    }
}

} // namespace

std::shared_ptr<TranscriptionResult> withoutSpecialTokens(const TranscriptionResult& result) {
    std::vector<TranscriptionSegment> segments = result.segments();
    for (TranscriptionSegment& segment : segments) {
        segment.text = withoutMarkers(segment.text);
        if (segment.words) {
            for (WordTiming& word : *segment.words) {
                word.word = withoutMarkers(word.word);
            }
        }
    }
    return TranscriptionResult::make(result.text(), std::move(segments), result.language(), result.timings(),
                                     result.seekTime());
}

std::shared_ptr<TranscriptionResult> subtitleResult(const TranscriptionResult& result,
                                                    std::optional<double> audioSeconds) {
    const std::optional<float> end =
        audioSeconds ? std::optional<float>(static_cast<float>(*audioSeconds)) : std::nullopt;
    std::vector<TranscriptionSegment> kept;
    for (TranscriptionSegment segment : result.segments()) {
        if (segment.words) {
            std::erase_if(*segment.words, [&](const WordTiming& word) {
                return isBlank(word.word) || startsAfter(word, end);
            });
            for (auto& word : *segment.words) {
                capTimes(word, end);
            }
        }
        if ((!segment.words || segment.words->empty()) &&
            (isBlank(segment.text) || startsAfter(segment, end))) {
            continue;
        }
        capTimes(segment, end);
        kept.push_back(std::move(segment));
    }
    return TranscriptionResult::make(result.text(), std::move(kept), result.language(), result.timings(),
                                     result.seekTime());
}

} // namespace sonavex::tool
