#pragma once
// How loud a stretch of samples is and how often it crosses zero: enough to recognise the private
// sound server's test signal in what a capture recorded.

#include <cstddef>
#include <span>

namespace testsupport {

/// The test server's "test_source" plays a 440 Hz sine of this amplitude at 16 kHz.
constexpr double testSignalFrequency = 440.0;
constexpr double testSignalPeak = 0.5;

struct SignalLevel {
    double rms = 0;
    float peak = 0;
    /// Sign changes between neighbours: twice the frequency per second of samples.
    std::size_t zeroCrossings = 0;
};

SignalLevel measureSignal(std::span<const float> samples);

} // namespace testsupport
