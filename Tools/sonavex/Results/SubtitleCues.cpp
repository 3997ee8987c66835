#include "Results/SubtitleCues.h"

#include <algorithm>

namespace sonavex::tool {

namespace {

bool isBlank(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
}

template <class Timed> void capTimes(Timed& timed, float end) {
    timed.start = std::min(timed.start, end);
    timed.end = std::min(timed.end, end);
}

} // namespace

std::shared_ptr<TranscriptionResult> subtitleResult(const TranscriptionResult& result, double audioSeconds) {
    const auto end = static_cast<float>(audioSeconds);
    std::vector<TranscriptionSegment> kept;
    for (TranscriptionSegment segment : result.segments()) {
        if (segment.words) {
            std::erase_if(*segment.words, [](const WordTiming& word) { return isBlank(word.word); });
            for (auto& word : *segment.words) {
                capTimes(word, end);
            }
        }
        if ((!segment.words || segment.words->empty()) && isBlank(segment.text)) {
            continue;
        }
        capTimes(segment, end);
        kept.push_back(std::move(segment));
    }
    return TranscriptionResult::make(result.text(), std::move(kept), result.language(), result.timings(),
                                     result.seekTime());
}

} // namespace sonavex::tool
