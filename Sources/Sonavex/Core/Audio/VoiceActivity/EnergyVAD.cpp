#include "Sonavex/Core/Audio/VoiceActivity/EnergyVAD.h"

#include "Sonavex/Core/Audio/AudioProcessor.h"

#include <cmath>
#include <stdexcept>
#include <string>

namespace sonavex {

namespace {

/// Int(seconds × Float(sampleRate)) as the seconds initialiser forms it, refusing what has no integer.
int64_t samplesIn(float seconds, int64_t sampleRate, const char* name) {
    const float product = std::trunc(seconds * static_cast<float>(sampleRate));
    // 2^63 is exact in single precision; every float below it converts without overflow.
    constexpr float limit = 9223372036854775808.0f;
    if (!(product >= -limit && product < limit)) {
        throw std::invalid_argument(std::string("EnergyVAD: ") + name + " of " + std::to_string(seconds) +
                                    " s at " + std::to_string(sampleRate) + " Hz has no sample count");
    }
    return static_cast<int64_t>(product);
}

} // namespace

EnergyVAD::EnergyVAD(int64_t sampleRate, int64_t frameLengthSamples, int64_t frameOverlapSamples,
                     float energyThreshold)
    : VoiceActivityDetector(sampleRate, frameLengthSamples, frameOverlapSamples),
      energyThreshold(energyThreshold) {}

EnergyVAD::EnergyVAD(int64_t sampleRate, float frameLength, float frameOverlap, float energyThreshold)
    : EnergyVAD(sampleRate, samplesIn(frameLength, sampleRate, "frame length"),
                samplesIn(frameOverlap, sampleRate, "frame overlap"), energyThreshold) {}

std::shared_ptr<EnergyVAD> EnergyVAD::engineDefault() {
    return std::make_shared<EnergyVAD>(int64_t{16000}, int64_t{1600}, int64_t{0}, 0.02f);
}

std::vector<bool> EnergyVAD::voiceActivity(std::span<const float> samples) const {
    const auto count = static_cast<int64_t>(samples.size());
    const int64_t frames = count == 0 ? 0 : (count - 1) / frameLengthSamples + 1;
    return AudioProcessor::calculateVoiceActivityInChunks(samples, frames, frameLengthSamples,
                                                          frameOverlapSamples, energyThreshold);
}

} // namespace sonavex
