#pragma once
// An open (or ended) signpost interval: what a begin call hands back and the matching end call takes.

#include <cstdint>

namespace sonavex {

struct SignpostIntervalState {
    std::uint64_t signpostId = 0;
    bool ended = false;
};

} // namespace sonavex
