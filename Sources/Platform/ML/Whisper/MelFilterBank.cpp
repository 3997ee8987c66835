#include "Platform/ML/Whisper/MelFilterBank.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace ml {

namespace {

constexpr double kLinearStep = 200.0 / 3.0; // Hz per mel below the break
constexpr double kBreakHz = 1000.0;
constexpr double kBreakMel = kBreakHz / kLinearStep;
const double kLogStep = std::log(6.4) / 27.0;

double hzToMel(double hz) {
    return hz >= kBreakHz ? kBreakMel + std::log(hz / kBreakHz) / kLogStep : hz / kLinearStep;
}

double melToHz(double mel) {
    return mel >= kBreakMel ? kBreakHz * std::exp(kLogStep * (mel - kBreakMel)) : mel * kLinearStep;
}

} // namespace

MultiArray slaneyMelFilterBank(int sampleRate, int fftSize, int melCount) {
    if (sampleRate <= 0 || fftSize < 2 || melCount < 1) {
        throw std::invalid_argument("a mel filter bank needs a positive rate, an FFT of 2 or more and 1 band or more");
    }
    const int bins = fftSize / 2 + 1;
    const double nyquist = sampleRate / 2.0;
    std::vector<double> edges(static_cast<std::size_t>(melCount) + 2);
    const double top = hzToMel(nyquist);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        edges[i] = melToHz(top * static_cast<double>(i) / static_cast<double>(melCount + 1));
    }
    MultiArray bank({melCount, bins}, MultiArrayDataType::Float32);
    float* out = static_cast<float*>(bank.data());
    for (int m = 0; m < melCount; ++m) {
        const double low = edges[m];
        const double centre = edges[m + 1];
        const double high = edges[m + 2];
        const double norm = 2.0 / (high - low);
        for (int k = 0; k < bins; ++k) {
            const double hz = static_cast<double>(k) * sampleRate / fftSize;
            const double rising = (hz - low) / (centre - low);
            const double falling = (high - hz) / (high - centre);
            out[m * bins + k] = static_cast<float>(std::max(0.0, std::min(rising, falling)) * norm);
        }
    }
    return bank;
}

} // namespace ml
