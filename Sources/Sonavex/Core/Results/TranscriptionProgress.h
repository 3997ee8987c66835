#pragma once
// What the text decoder reports to the caller after each decoding step. The caller's answer may stop the
// current window early: false stops, true or no answer goes on.

#include "Sonavex/Core/Results/TranscriptionTimings.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace sonavex {

struct TranscriptionProgress {
    TranscriptionTimings timings;
    std::string text;
    std::vector<int64_t> tokens;
    std::optional<float> temperature;
    std::optional<float> avgLogprob;
    std::optional<float> compressionRatio;
    /// The window being decoded (the key of its early-stop flag).
    int64_t windowId = 0;
};

using TranscriptionProgressCallback = std::function<std::optional<bool>(const TranscriptionProgress&)>;

} // namespace sonavex
