#pragma once
// The one prediction call the engine's model stages use, and the names of compute-unit choices.

#include <memory>
#include <string>

#include "Platform/ML/Model/ComputeUnits.h"
#include "Platform/ML/Values/FeatureProvider.h"
#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Model/PredictionOptions.h"

namespace orvane {

/// Runs the model's prediction and returns its outputs; the runtime's error reaches the caller unchanged.
/// Blocking: it runs on the caller's thread (the caller picks the thread, as for every long call here).
std::shared_ptr<ml::FeatureProvider> asyncPrediction(const ml::Model& model, const ml::FeatureProvider& input,
                                                     const ml::PredictionOptions& options = {});

/// The stateful form: the state's arrays are read and updated by the prediction (ml::Model::makeState).
std::shared_ptr<ml::FeatureProvider> asyncPrediction(const ml::Model& model, const ml::FeatureProvider& input,
                                                     ml::State& state, const ml::PredictionOptions& options = {});

/// "cpuOnly", "cpuAndGPU", "all", "cpuAndNeuralEngine"; "unknown" for any other value.
std::string description(ml::ComputeUnits computeUnits);

/// "CPU", "GPU", "All", "Neural Engine"; "Unknown" for any other value.
std::string displayName(ml::ComputeUnits computeUnits);

} // namespace orvane
