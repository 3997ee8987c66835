#include "Sonavex/Core/Models/ModelComputeOptions.h"

#include "Sonavex/Utilities/System/OperatingSystemVersion.h"

namespace sonavex {

namespace {

ml::ComputeUnits defaultEncoderCompute() {
    return isOperatingSystemAtLeast({14, 0, 0}) ? ml::ComputeUnits::cpuAndNeuralEngine
                                                : ml::ComputeUnits::cpuAndGPU;
}

} // namespace

ModelComputeOptions::ModelComputeOptions(ml::ComputeUnits melCompute,
                                         std::optional<ml::ComputeUnits> audioEncoderCompute,
                                         ml::ComputeUnits textDecoderCompute)
    : melCompute(melCompute),
      audioEncoderCompute(audioEncoderCompute ? *audioEncoderCompute : defaultEncoderCompute()),
      textDecoderCompute(textDecoderCompute) {}

} // namespace sonavex
