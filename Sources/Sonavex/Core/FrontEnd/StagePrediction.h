#pragma once
// The prediction step both front-end stages share, once their input and model have been checked.

#include "Platform/ML/Model/Model.h"
#include "Platform/ML/Values/FeatureProvider.h"
#include "Sonavex/Utilities/Logging/Signposter.h"

#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

namespace sonavex {

/// Throws orvane::CancellationError when a stop is requested, before anything else; then runs `model` on
/// `input` inside the signpost interval `intervalName`, which is closed on success and on a thrown error
/// alike (the runtime's error passes unchanged). Returns the output array `outputName`, or null when the
/// model gives no such array.
std::shared_ptr<ml::MultiArray> predictStageOutput(const ml::Model& model, const ml::FeatureProvider& input,
                                                   const std::string& outputName,
                                                   std::string_view intervalName,
                                                   const Signposter& signposter,
                                                   const std::stop_token& stopToken);

} // namespace sonavex
