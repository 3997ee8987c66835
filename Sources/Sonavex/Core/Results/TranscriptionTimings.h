#pragma once
// How long each stage of one transcription took and how often it ran, filled in place by every stage and
// carried by results; and the fixed "---- Transcription Timings ----" report made from it.

#include <cstdint>
#include <limits>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace sonavex {

struct TranscriptionTimings {
    /// Moments in seconds of the absolute-time clock; the greatest finite value means "not yet recorded"
    /// (the pipeline keeps the smaller of the stored value and the current time).
    double pipelineStart = std::numeric_limits<double>::max();
    double firstTokenTime = std::numeric_limits<double>::max();
    double inputAudioSeconds = 0.001;
    // Durations in seconds.
    double modelLoading = 0;
    double prewarmLoadTime = 0;
    double encoderLoadTime = 0;
    double decoderLoadTime = 0;
    double encoderSpecializationTime = 0;
    double decoderSpecializationTime = 0;
    double tokenizerLoadTime = 0;
    double audioLoading = 0;
    double audioProcessing = 0;
    double logmels = 0;
    double encoding = 0;
    double decodingInit = 0;
    double decodingLoop = 0;
    double decodingPredictions = 0;
    double decodingFiltering = 0;
    double decodingSampling = 0;
    double decodingFallback = 0;
    /// Each window's work after its decoding, word timestamps included.
    double decodingWindowing = 0;
    double decodingKvCaching = 0;
    /// A part of decodingWindowing.
    double decodingWordTimestamps = 0;
    double decodingNonPrediction = 0;
    // Run counts, held as floating-point numbers.
    double totalAudioProcessingRuns = 0;
    double totalLogmelRuns = 0;
    double totalEncodingRuns = 0;
    double totalDecodingLoops = 0;
    double totalKVUpdateRuns = 0;
    double totalTimestampAlignmentRuns = 0;
    double totalDecodingFallbacks = 0;
    double totalDecodingWindows = 0;
    double fullPipeline = 0;

    // Plain IEEE divisions: a zero denominator gives an infinity, or NaN over zero.
    double tokensPerSecond() const { return totalDecodingLoops / fullPipeline; }
    double realTimeFactor() const { return fullPipeline / inputAudioSeconds; }
    double speedFactor() const { return inputAudioSeconds / fullPipeline; }

    /// The thirty-line report (lines joined by line feeds, none after the last); `totalTokens` is the number
    /// of tokens kept in the result's segments.
    std::string report(int64_t totalTokens) const;
};

/// One key per field, named as the field, in field order; all thirty-three are required when reading.
void to_json(nlohmann::ordered_json& json, const TranscriptionTimings& timings);
void from_json(const nlohmann::ordered_json& json, TranscriptionTimings& timings);

} // namespace sonavex
