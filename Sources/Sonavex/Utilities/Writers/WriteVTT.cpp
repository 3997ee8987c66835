#include "Sonavex/Utilities/Writers/WriteVTT.h"

namespace sonavex {

Result<std::string> WriteVTT::write(const TranscriptionResult& result, const std::string& to,
                                    const std::optional<std::map<std::string, std::any>>&) {
    std::string contents = "WEBVTT\n\n";
    for (const Cue& cue : cues(result)) {
        contents += formatTiming(cue.start, cue.end, cue.text);
    }
    return writeFile(to + ".vtt", contents);
}

} // namespace sonavex
