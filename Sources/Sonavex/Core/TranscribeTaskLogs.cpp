#include "Sonavex/Core/TranscribeTaskLogs.h"

namespace sonavex {

std::string promptDescription(const std::vector<int64_t>& prompt, const WhisperTokenizer& tokenizer) {
    std::string text = "[";
    for (std::size_t i = 0; i < prompt.size(); ++i) {
        text += (i > 0 ? ", \"" : "\"") +
                tokenizer.convertIdToToken(static_cast<int>(prompt[i])).value_or("") + "\"";
    }
    return text + "]";
}

std::string seekClipsDescription(const std::vector<SeekClip>& clips) {
    std::string text = "[";
    for (std::size_t i = 0; i < clips.size(); ++i) {
        text += (i > 0 ? ", (start: " : "(start: ") + std::to_string(clips[i].start) +
                ", end: " + std::to_string(clips[i].end) + ")";
    }
    return text + "]";
}

} // namespace sonavex
