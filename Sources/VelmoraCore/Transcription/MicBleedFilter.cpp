#include "VelmoraCore/Transcription/MicBleedFilter.h"

#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "VelmoraCore/Transcription/ChunkPlanner.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace velmora {

namespace {

// Shifts and indexes stay far inside 64 bits with this bound, whatever the segment.
constexpr double indexLimit = 4611686018427387904.0; // 2^62

std::int64_t maxLagSamples(float maxLagSeconds) {
    const float product = std::trunc(maxLagSeconds * static_cast<float>(ChunkPlanner::sampleRate));
    if (!(std::fabs(product) < indexLimit)) {
        throw std::invalid_argument("maximum shift of " + std::to_string(maxLagSeconds) +
                                    " s has no sample count");
    }
    return static_cast<std::int64_t>(product);
}

// seconds × rate in double precision, truncated; none when that is no integer.
std::optional<std::int64_t> sampleIndex(double seconds) {
    const double product = std::trunc(seconds * static_cast<double>(ChunkPlanner::sampleRate));
    if (!(std::fabs(product) < indexLimit)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(product);
}

float sumInOrder(std::span<const float> values) {
    float sum = 0;
    for (const float value : values) {
        sum += value;
    }
    return sum;
}

} // namespace

float MicBleedFilter::pearson(std::span<const float> a, std::span<const float> b) {
    if (a.size() != b.size() || a.empty()) {
        return 0;
    }
    const auto n = static_cast<float>(a.size());
    const float meanA = sumInOrder(a) / n;
    const float meanB = sumInOrder(b) / n;
    float cov = 0;
    float varA = 0;
    float varB = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const float da = a[i] - meanA;
        const float db = b[i] - meanB;
        cov += da * db;
        varA += da * da;
        varB += db * db;
    }
    const float product = varA * varB;
    if (product <= 0) {
        return 0;
    }
    return cov / std::sqrt(product);
}

std::vector<TranscriptSegment> MicBleedFilter::filter(const std::vector<TranscriptSegment>& meSegments,
                                                      std::span<const float> mic, std::span<const float> sys,
                                                      float correlationThreshold, float maxLagSeconds) {
    const std::int64_t maxLag = maxLagSamples(maxLagSeconds);
    const std::int64_t step = maxLag >= 20 ? maxLag / 20 : 1;
    const auto micCount = static_cast<std::int64_t>(mic.size());
    const auto sysCount = static_cast<std::int64_t>(sys.size());

    std::vector<TranscriptSegment> kept;
    for (const TranscriptSegment& segment : meSegments) {
        const auto s = sampleIndex(segment.startSeconds);
        const auto e = sampleIndex(segment.endSeconds);
        if (!s || !e || *s < 0 || *e > micCount || *e <= *s) {
            kept.push_back(segment);
            continue;
        }
        const auto length = static_cast<std::size_t>(*e - *s);
        const std::span<const float> a = mic.subspan(static_cast<std::size_t>(*s), length);
        float best = 0;
        for (std::int64_t lag = -maxLag; lag <= maxLag; lag += step) {
            const std::int64_t from = *s + lag;
            const std::int64_t to = *e + lag;
            if (from < 0 || to > sysCount) {
                continue;
            }
            best = std::max(best, pearson(a, sys.subspan(static_cast<std::size_t>(from), length)));
        }
        if (!(best >= correlationThreshold)) {
            kept.push_back(segment);
        }
    }
    return kept;
}

std::vector<TranscriptSegment>
MicBleedFilter::removeBleedSegments(const std::vector<TranscriptSegment>& meSegments,
                                    const std::string& micAudioPath, const std::string& systemAudioPath,
                                    float correlationThreshold, float maxLagSeconds) {
    if (meSegments.empty()) {
        return meSegments;
    }
    const auto load = [](const std::string& path) {
        return sonavex::AudioProcessor::loadAudioAsFloatArray(path, sonavex::AudioInputOptions::SumChannels{},
                                                              0.0);
    };
    const std::vector<float> mic = load(micAudioPath);
    const std::vector<float> sys = load(systemAudioPath);
    return filter(meSegments, mic, sys, correlationThreshold, maxLagSeconds);
}

} // namespace velmora
