#include "Sonavex/Core/Results/TranscriptionTimings.h"

#include "OrvaneCore/Logging/Describing.h"
#include "OrvaneCore/Logging/Logging.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/Formats/NumberFormat.h"

#include <algorithm>
#include <array>
#include <utility>

namespace sonavex {

namespace {

using Field = double TranscriptionTimings::*;

// Field order is the order of the JSON keys.
const std::array<std::pair<const char*, Field>, 33>& fields() {
    static const std::array<std::pair<const char*, Field>, 33> table{{
        {"pipelineStart", &TranscriptionTimings::pipelineStart},
        {"firstTokenTime", &TranscriptionTimings::firstTokenTime},
        {"inputAudioSeconds", &TranscriptionTimings::inputAudioSeconds},
        {"modelLoading", &TranscriptionTimings::modelLoading},
        {"prewarmLoadTime", &TranscriptionTimings::prewarmLoadTime},
        {"encoderLoadTime", &TranscriptionTimings::encoderLoadTime},
        {"decoderLoadTime", &TranscriptionTimings::decoderLoadTime},
        {"encoderSpecializationTime", &TranscriptionTimings::encoderSpecializationTime},
        {"decoderSpecializationTime", &TranscriptionTimings::decoderSpecializationTime},
        {"tokenizerLoadTime", &TranscriptionTimings::tokenizerLoadTime},
        {"audioLoading", &TranscriptionTimings::audioLoading},
        {"audioProcessing", &TranscriptionTimings::audioProcessing},
        {"logmels", &TranscriptionTimings::logmels},
        {"encoding", &TranscriptionTimings::encoding},
        {"decodingInit", &TranscriptionTimings::decodingInit},
        {"decodingLoop", &TranscriptionTimings::decodingLoop},
        {"decodingPredictions", &TranscriptionTimings::decodingPredictions},
        {"decodingFiltering", &TranscriptionTimings::decodingFiltering},
        {"decodingSampling", &TranscriptionTimings::decodingSampling},
        {"decodingFallback", &TranscriptionTimings::decodingFallback},
        {"decodingWindowing", &TranscriptionTimings::decodingWindowing},
        {"decodingKvCaching", &TranscriptionTimings::decodingKvCaching},
        {"decodingWordTimestamps", &TranscriptionTimings::decodingWordTimestamps},
        {"decodingNonPrediction", &TranscriptionTimings::decodingNonPrediction},
        {"totalAudioProcessingRuns", &TranscriptionTimings::totalAudioProcessingRuns},
        {"totalLogmelRuns", &TranscriptionTimings::totalLogmelRuns},
        {"totalEncodingRuns", &TranscriptionTimings::totalEncodingRuns},
        {"totalDecodingLoops", &TranscriptionTimings::totalDecodingLoops},
        {"totalKVUpdateRuns", &TranscriptionTimings::totalKVUpdateRuns},
        {"totalTimestampAlignmentRuns", &TranscriptionTimings::totalTimestampAlignmentRuns},
        {"totalDecodingFallbacks", &TranscriptionTimings::totalDecodingFallbacks},
        {"totalDecodingWindows", &TranscriptionTimings::totalDecodingWindows},
        {"fullPipeline", &TranscriptionTimings::fullPipeline},
    }};
    return table;
}

} // namespace

std::string TranscriptionTimings::report(int64_t totalTokens) const {
    const double total = std::max(decodingLoop, fullPipeline) * 1000;
    auto row = [total](const char* label, double time, double runs) {
        return std::string(label) + orvane::Logging::formatTimeWithPercentage(time, runs, total) + "\n";
    };
    auto seconds = [](const char* label, double value) {
        return std::string(label) + formatNumber("%.2f", value) + " seconds\n";
    };
    std::string text = "---- Transcription Timings ----\n";
    text += row("Audio Load:          ", audioLoading, 1);
    text += row("Audio Processing:    ", audioProcessing, totalAudioProcessingRuns);
    text += row("Mels:                ", logmels, totalLogmelRuns);
    text += row("Encoding:            ", encoding, totalEncodingRuns);
    text += row("Matrices Init:       ", decodingInit, 1);
    text += row("Decoding:            ", decodingPredictions, totalDecodingLoops);
    text += row("Non-inference:       ", decodingNonPrediction, totalDecodingLoops);
    text += row("- Logit Filtering:   ", decodingFiltering, totalDecodingLoops);
    text += row("- Sampling:          ", decodingSampling, totalDecodingLoops);
    text += row("- Kv Caching:        ", decodingKvCaching, totalKVUpdateRuns);
    text += row("- Word Timestamps:   ", decodingWordTimestamps, totalTimestampAlignmentRuns);
    text += row("- Windowing:         ", decodingWindowing - decodingWordTimestamps, totalDecodingWindows);
    text += row("Fallbacks:           ", decodingFallback, totalDecodingFallbacks);
    text += row("Decoding Full Loop:  ", decodingLoop, totalDecodingLoops);
    text += "-------------------------------\n";
    text += seconds("Model Load Time:               ", modelLoading);
    text += seconds("- Prewarm:                     ", prewarmLoadTime);
    text += seconds("- Encoder:                     ", encoderLoadTime);
    text += seconds("- Decoder:                     ", decoderLoadTime);
    text += seconds("- Tokenizer:                   ", tokenizerLoadTime);
    text += seconds("Inference Duration (Global):   ", fullPipeline);
    text += seconds("- Decoding Loop (Avg/window):  ", decodingLoop / totalAudioProcessingRuns);
    text += "- Audio Windows:               " + formatNumber("%.2f", totalAudioProcessingRuns) + "\n";
    text += seconds("Time to first token:           ", firstTokenTime - pipelineStart);
    text += "Total Tokens:                  " + std::to_string(totalTokens) + "\n";
    text += "Tokens per Second:             " + formatNumber("%.2f", tokensPerSecond()) + " tok/s\n";
    text += "Real Time Factor:              " + formatNumber("%.3f", realTimeFactor()) + "\n";
    text += "Speed Factor:                  " + formatNumber("%.3f", 1 / realTimeFactor()) + "\n";
    text += "Fallbacks:                     " + orvane::describing(totalDecodingFallbacks);
    return text;
}

void to_json(nlohmann::ordered_json& json, const TranscriptionTimings& timings) {
    json = nlohmann::ordered_json::object();
    for (const auto& [key, field] : fields()) {
        json[key] = timings.*field;
    }
}

void from_json(const nlohmann::ordered_json& json, TranscriptionTimings& timings) {
    json::requireObject(json, "TranscriptionTimings");
    TranscriptionTimings read;
    for (const auto& [key, field] : fields()) {
        read.*field = json::toDouble(json::required(json, key), json::keyContext(key));
    }
    timings = read;
}

} // namespace sonavex
