#pragma once
// Token ids are 64-bit signed integers everywhere in the tokenizers and their callers.

#include <cstdint>

namespace orvane {

using TokenId = std::int64_t;

} // namespace orvane
