#pragma once
// Where each of the engine's three models runs. The configuration carries one; without it the engine
// uses the defaults of the constructor.

#include "Platform/ML/Model/ComputeUnits.h"

#include <optional>

namespace sonavex {

struct ModelComputeOptions {
    /// An absent encoder choice is settled now: the neural engine on systems from version 14.0 on, else
    /// the GPU (this platform counts as the newest version; see OperatingSystemVersion).
    explicit ModelComputeOptions(ml::ComputeUnits melCompute = ml::ComputeUnits::cpuAndGPU,
                                 std::optional<ml::ComputeUnits> audioEncoderCompute = std::nullopt,
                                 ml::ComputeUnits textDecoderCompute = ml::ComputeUnits::cpuAndNeuralEngine);

    ml::ComputeUnits melCompute;
    ml::ComputeUnits audioEncoderCompute;
    ml::ComputeUnits textDecoderCompute;
};

} // namespace sonavex
