#pragma once
// One rule of the token grammar, applied to each decoder step's logits before a token is sampled: it
// forbids tokens by setting their scores to minus infinity. Logits are the model's half floats, shape
// [1, 1, V], one score per token id; a filter changes them in place and returns the array to go on with.

#include "Platform/ML/Values/MultiArray.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sonavex {

class LogitsFiltering {
public:
    virtual ~LogitsFiltering() = default;

    /// `tokens`: the window so far, prompt included; its length is the position about to be sampled.
    virtual std::shared_ptr<ml::MultiArray> filterLogits(std::shared_ptr<ml::MultiArray> logits,
                                                         const std::vector<int64_t>& tokens) = 0;
};

} // namespace sonavex
