#include "Support/Audio/SignalLevel.h"

#include <algorithm>
#include <cmath>

namespace testsupport {

SignalLevel measureSignal(std::span<const float> samples) {
    SignalLevel level;
    double sum = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        sum += double(samples[i]) * samples[i];
        level.peak = std::max(level.peak, std::fabs(samples[i]));
        if (i > 0 && (samples[i - 1] < 0) != (samples[i] < 0)) {
            ++level.zeroCrossings;
        }
    }
    level.rms = samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
    return level;
}

} // namespace testsupport
