#include "Sonavex/Utilities/Logging/Logging.h"

namespace sonavex {

Signposter& Logging::AudioEncoding::signposter() {
    static Signposter instance(std::string(subsystem), "AudioEncoding");
    return instance;
}

Signposter& Logging::FeatureExtractor::signposter() {
    static Signposter instance(std::string(subsystem), "FeatureExtractor");
    return instance;
}

Signposter& Logging::TranscribeTask::signposter() {
    static Signposter instance(std::string(subsystem), "TranscribeTask");
    return instance;
}

SignpostIntervalState Logging::beginSignpost(std::string_view name, const Signposter& signposter) {
    SignpostIntervalState interval{signposter.makeSignpostId(), false};
    if (signposter.isEnabled()) {
        signposter.emit(SignpostEvent::Kind::intervalBegin, name, interval.signpostId, "");
    }
    return interval;
}

void Logging::endSignpost(std::string_view name, SignpostIntervalState& interval,
                          const Signposter& signposter) {
    if (!signposter.isEnabled()) {
        return;
    }
    bool endedBefore = interval.ended;
    interval.ended = true;
    signposter.emit(SignpostEvent::Kind::intervalEnd, name, interval.signpostId,
                    endedBefore ? "[Error] Interval already ended" : "");
}

} // namespace sonavex
