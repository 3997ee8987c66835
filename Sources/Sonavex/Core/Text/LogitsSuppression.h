#pragma once
// The writes every logits filter makes: minus infinity (half bits 0xFC00) at chosen token ids. Ids
// outside the array are skipped, so no index list or range can write past the logits, whatever their
// length. The logits must be half floats (std::invalid_argument otherwise).

#include "Platform/ML/Values/MultiArray.h"

#include <cstdint>
#include <vector>

namespace sonavex {

/// At every listed id in 0 ..< the element count.
void suppressTokenIds(ml::MultiArray& logits, const std::vector<int64_t>& ids);

/// At every id of lower ..< upper that lies in 0 ..< the element count.
void suppressTokenRange(ml::MultiArray& logits, int64_t lower, int64_t upper);

} // namespace sonavex
