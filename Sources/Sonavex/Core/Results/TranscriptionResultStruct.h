#pragma once
// A plain-value twin of TranscriptionResult with the same five fields and no locks, for callers that want
// a copy they can pass around; its JSON form leaves an absent seek time out.

#include "Sonavex/Core/Results/TranscriptionSegment.h"
#include "Sonavex/Core/Results/TranscriptionTimings.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

namespace sonavex {

struct TranscriptionResultStruct {
    std::string text;
    std::vector<TranscriptionSegment> segments;
    std::string language;
    TranscriptionTimings timings;
    std::optional<float> seekTime;
};

/// Keys "text", "segments", "language", "timings" and, when present, "seekTime" (which may be missing or
/// null when reading).
void to_json(nlohmann::ordered_json& json, const TranscriptionResultStruct& result);
void from_json(const nlohmann::ordered_json& json, TranscriptionResultStruct& result);

} // namespace sonavex
