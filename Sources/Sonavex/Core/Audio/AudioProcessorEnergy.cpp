// Energy functions of AudioProcessor: frame levels for voice activity and buffer levels for capture.

#include "Sonavex/Core/Audio/AudioProcessor.h"
#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace sonavex {

namespace {

/// The root mean square. Squares are summed in double precision over four independent lanes (which the
/// compiler vectorises), so a constant signal's level comes back as exactly that constant.
float rootMeanSquare(std::span<const float> samples) {
    if (samples.empty()) {
        return 0;
    }
    double lanes[4] = {0, 0, 0, 0};
    const std::size_t count = samples.size();
    const float* data = samples.data();
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            const double value = data[i + lane];
            lanes[lane] += value * value;
        }
    }
    for (; i < count; ++i) {
        const double value = data[i];
        lanes[0] += value * value;
    }
    const double sum = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
    return static_cast<float>(std::sqrt(sum / static_cast<double>(count)));
}

} // namespace

std::vector<bool> AudioProcessor::calculateVoiceActivityInChunks(std::span<const float> of,
                                                                 int64_t chunkCount,
                                                                 int64_t frameLengthSamples,
                                                                 int64_t frameOverlapSamples,
                                                                 float energyThreshold) {
    if (chunkCount < 0 || frameLengthSamples < 1) {
        throw std::invalid_argument("calculateVoiceActivityInChunks: " + std::to_string(chunkCount) +
                                    " frames of " + std::to_string(frameLengthSamples) + " samples");
    }
    const auto count = static_cast<int64_t>(of.size());
    // Frames that start at or past the last sample have nothing to measure: level 0, silent.
    const int64_t filledFrames = count == 0 ? 0 : (count - 1) / frameLengthSamples + 1;
    std::vector<float> levels(static_cast<std::size_t>(chunkCount), 0.0f);
    for (int64_t i = 0; i < std::min(chunkCount, filledFrames); ++i) {
        const int64_t start = i * frameLengthSamples;
        const int64_t left = count - start;
        // Length plus overlap, kept within what is left (and never negative for a negative overlap).
        const int64_t span = frameOverlapSamples > left - frameLengthSamples
                                 ? left
                                 : std::max<int64_t>(0, frameLengthSamples + frameOverlapSamples);
        levels[static_cast<std::size_t>(i)] =
            rootMeanSquare(of.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(span)));
    }
    std::vector<bool> flags(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) {
        flags[i] = levels[i] > energyThreshold;
    }
    return flags;
}

AudioProcessor::Energy AudioProcessor::calculateEnergy(std::span<const float> of) {
    if (of.empty()) {
        return {};
    }
    auto [smallest, largest] =
        std::minmax_element(of.begin(), of.end(), [](float a, float b) { return std::abs(a) < std::abs(b); });
    return {rootMeanSquare(of), std::abs(*largest), std::abs(*smallest)};
}

float AudioProcessor::calculateAverageEnergy(std::span<const float> of) {
    return rootMeanSquare(of);
}

float AudioProcessor::calculateRelativeEnergy(std::span<const float> of, std::optional<float> relativeTo) {
    const float signal = 20.0f * std::log10(rootMeanSquare(of));
    const float reference = relativeTo ? 20.0f * std::log10(std::max(*relativeTo, 1e-8f)) : -60.0f;
    const float value = (signal - reference) / (0.0f - reference);
    if (!(value >= 0)) {
        return 0; // below 0, or not a number
    }
    return std::min(value, 1.0f);
}

bool AudioProcessor::isVoiceDetected(std::span<const float> in, float nextBufferInSeconds,
                                     float silenceThreshold) {
    // Int(seconds / 0.1) truncated; negative or not a number counts as 0, more than the list as all of it.
    const float buffers = std::trunc(nextBufferInSeconds / 0.1f);
    std::size_t recentCount = 0;
    if (buffers > 0) {
        recentCount =
            buffers >= static_cast<float>(in.size()) ? in.size() : static_cast<std::size_t>(buffers);
    }
    const auto recent = in.last(recentCount);
    const std::size_t considered =
        std::min(recent.size(), std::max<std::size_t>(recent.size() > 10 ? recent.size() - 10 : 0, 10));
    return std::any_of(recent.begin(), recent.begin() + static_cast<std::ptrdiff_t>(considered),
                       [&](float energy) { return energy > silenceThreshold; });
}

std::vector<IndexRange> AudioProcessor::calculateNonSilentChunks(std::span<const float> in) {
    return EnergyVAD::engineDefault()->calculateActiveChunks(in);
}

} // namespace sonavex
