#pragma once
// Where a model may run, as callers ask for it. This runtime always computes on the CPU; as the neural
// engine and GPU compute in half precision, every value but cpuOnly lets the encoder and decoder use the
// processor's reduced-precision products where it has them. Values outside the four named ones are kept
// as they are (and computed exactly).

#include <cstdint>

namespace ml {

enum class ComputeUnits : int64_t {
    cpuOnly = 0,
    cpuAndGPU = 1,
    all = 2,
    cpuAndNeuralEngine = 3,
};

} // namespace ml
