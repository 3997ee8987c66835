#pragma once
// Whether a decoded window must be decoded again at the next temperature, and which test said so.

#include "Sonavex/Core/Options/DecodingOptions.h"

#include <optional>
#include <string>

namespace sonavex {

struct DecodingFallback {
    bool needsFallback = false;
    /// "firstTokenLogProbThreshold", "silence", "compressionRatioThreshold" or "logProbThreshold".
    std::string fallbackReason;

    /// The verdict on one window's figures; the first test that fires decides: a too-low first token
    /// (the caller's flag) needs fallback; a no-speech probability above its threshold is silence (no
    /// fallback); a compression ratio above, or an average log-probability below, its threshold needs
    /// fallback. Comparisons are strict, a threshold without a value is skipped, and a NaN fires nothing.
    /// No value when no test fires.
    static std::optional<DecodingFallback> from(const DecodingOptions& options,
                                                bool isFirstTokenLogProbTooLow, float noSpeechProb,
                                                float compressionRatio, float avgLogProb);
};

} // namespace sonavex
