#pragma once
// The decoder's key/value cache updates and alignment weights from its last prediction, as the model
// returned them; each may be absent (models without word timestamps give no alignment weights).

#include "Platform/ML/Values/MultiArray.h"

#include <memory>

namespace sonavex {

struct DecodingCache {
    std::shared_ptr<ml::MultiArray> keyCache;
    std::shared_ptr<ml::MultiArray> valueCache;
    std::shared_ptr<ml::MultiArray> alignmentWeights;
};

} // namespace sonavex
