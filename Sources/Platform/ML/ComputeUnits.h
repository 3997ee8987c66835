#pragma once
// Where a model may run, as callers ask for it. Recorded with the model; this runtime always computes
// on the CPU. Values outside the four named ones are kept as they are.

#include <cstdint>

namespace ml {

enum class ComputeUnits : int64_t {
    cpuOnly = 0,
    cpuAndGPU = 1,
    all = 2,
    cpuAndNeuralEngine = 3,
};

} // namespace ml
