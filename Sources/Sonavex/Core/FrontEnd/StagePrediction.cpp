#include "Sonavex/Core/FrontEnd/StagePrediction.h"

#include "OrvaneCore/Errors/CancellationError.h"
#include "OrvaneCore/Models/ModelPrediction.h"
#include "Sonavex/Utilities/Logging/Logging.h"

namespace sonavex {

std::shared_ptr<ml::MultiArray> predictStageOutput(const ml::Model& model, const ml::FeatureProvider& input,
                                                   const std::string& outputName,
                                                   std::string_view intervalName,
                                                   const Signposter& signposter,
                                                   const std::stop_token& stopToken) {
    orvane::throwIfCancelled(stopToken);
    SignpostIntervalState interval = Logging::beginSignpost(intervalName, signposter);
    std::shared_ptr<ml::FeatureProvider> outputs;
    try {
        outputs = orvane::asyncPrediction(model, input, ml::PredictionOptions());
    } catch (...) {
        Logging::endSignpost(intervalName, interval, signposter);
        throw;
    }
    std::shared_ptr<ml::MultiArray> result = outputs ? outputs->multiArray(outputName) : nullptr;
    Logging::endSignpost(intervalName, interval, signposter);
    return result;
}

} // namespace sonavex
