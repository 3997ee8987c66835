#include "OrvaneCore/Models/ModelPrediction.h"

namespace orvane {

std::shared_ptr<ml::FeatureProvider> asyncPrediction(const ml::Model& model, const ml::FeatureProvider& input,
                                                     const ml::PredictionOptions& options) {
    return model.predict(input, options);
}

std::shared_ptr<ml::FeatureProvider> asyncPrediction(const ml::Model& model, const ml::FeatureProvider& input,
                                                     ml::State& state, const ml::PredictionOptions& options) {
    return model.predict(input, state, options);
}

std::string description(ml::ComputeUnits computeUnits) {
    switch (computeUnits) {
    case ml::ComputeUnits::cpuOnly:
        return "cpuOnly";
    case ml::ComputeUnits::cpuAndGPU:
        return "cpuAndGPU";
    case ml::ComputeUnits::all:
        return "all";
    case ml::ComputeUnits::cpuAndNeuralEngine:
        return "cpuAndNeuralEngine";
    }
    return "unknown";
}

std::string displayName(ml::ComputeUnits computeUnits) {
    switch (computeUnits) {
    case ml::ComputeUnits::cpuOnly:
        return "CPU";
    case ml::ComputeUnits::cpuAndGPU:
        return "GPU";
    case ml::ComputeUnits::all:
        return "All";
    case ml::ComputeUnits::cpuAndNeuralEngine:
        return "Neural Engine";
    }
    return "Unknown";
}

} // namespace orvane
