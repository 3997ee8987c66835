#include "Sonavex/Utilities/Writers/WriteSRT.h"

namespace sonavex {

Result<std::string> WriteSRT::write(const TranscriptionResult& result, const std::string& to,
                                    const std::optional<std::map<std::string, std::any>>&) {
    std::string contents;
    int64_t index = 1;
    for (const Cue& cue : cues(result)) {
        contents += formatSegment(index++, cue.start, cue.end, cue.text);
    }
    return writeFile(to + ".srt", contents);
}

} // namespace sonavex
