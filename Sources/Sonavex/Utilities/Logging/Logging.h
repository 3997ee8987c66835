#pragma once
// The engine's view of the shared log: everything of orvane::Logging (levels, callback, debug/info/error),
// plus one signposter per timed stage and the calls that open and close a stage's signpost interval.
// Engine code says Logging:: for both.

#include "OrvaneCore/Logging/Logging.h"
#include "Sonavex/Utilities/Logging/SignpostIntervalState.h"
#include "Sonavex/Utilities/Logging/Signposter.h"

#include <string_view>

namespace sonavex {

class Logging : public orvane::Logging {
public:
    /// The engine's subsystem name in the log.
    static constexpr std::string_view subsystem = "com.velmora.sonavex";

    /// The audio encoder: interval "EncodeAudio".
    struct AudioEncoding {
        static Signposter& signposter();
    };
    /// The mel stage: interval "ExtractAudioFeatures".
    struct FeatureExtractor {
        static Signposter& signposter();
    };
    /// The transcription task: intervals "TranscribeAudio" and "Decode".
    struct TranscribeTask {
        static Signposter& signposter();
    };

    /// Opens an interval named `name` with a fresh identifier; emits its begin event when signposts are on.
    static SignpostIntervalState beginSignpost(std::string_view name, const Signposter& signposter);
    /// Closes the interval when signposts are on: marks it ended and emits the end event, whose message
    /// is "[Error] Interval already ended" when it had been ended before. Does nothing while signposts are
    /// off.
    static void endSignpost(std::string_view name, SignpostIntervalState& interval,
                            const Signposter& signposter);
};

} // namespace sonavex
