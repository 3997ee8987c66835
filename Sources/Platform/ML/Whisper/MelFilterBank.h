#pragma once
// The mel filter bank of the public speech models: Slaney's mel scale (linear below 1 kHz, logarithmic
// above) with Slaney area normalisation, triangles over the bins of a real FFT from 0 Hz to Nyquist.

#include "Platform/ML/Values/MultiArray.h"

namespace ml {

/// Float32 [melCount, fftSize / 2 + 1], computed in double precision.
MultiArray slaneyMelFilterBank(int sampleRate, int fftSize, int melCount);

} // namespace ml
