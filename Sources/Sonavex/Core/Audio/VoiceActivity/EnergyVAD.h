#pragma once
// Voice activity by level: a frame is voiced when its root-mean-square level is strictly above a fixed
// threshold (a level equal to it, or not a number, is silent).

#include "Sonavex/Core/Audio/VoiceActivity/VoiceActivityDetector.h"

#include <memory>

namespace sonavex {

class EnergyVAD : public VoiceActivityDetector {
public:
    EnergyVAD(int64_t sampleRate, int64_t frameLengthSamples, int64_t frameOverlapSamples,
              float energyThreshold);
    /// Lengths in seconds: each becomes Int(seconds × Float(sampleRate)), formed in single precision and
    /// truncated (0.1 s at 16 kHz is 1,600 samples). Throws std::invalid_argument for a product that is
    /// not finite or does not fit 64 bits.
    EnergyVAD(int64_t sampleRate, float frameLength, float frameOverlap, float energyThreshold);

    /// The engine's detector wherever none is given: 16 kHz, 1,600-sample frames, no overlap, 0.02.
    static std::shared_ptr<EnergyVAD> engineDefault();

    const float energyThreshold;

    /// ⌈count / frameLengthSamples⌉ flags; none for no samples.
    std::vector<bool> voiceActivity(std::span<const float> samples) const override;
};

} // namespace sonavex
