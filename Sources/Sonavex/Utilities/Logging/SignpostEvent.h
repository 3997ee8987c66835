#pragma once
// One signpost as the installed event sink receives it: the start or end of a named interval of one
// stage's log, with the interval's identifier and its message (empty unless something was wrong).

#include <cstdint>
#include <string>

namespace sonavex {

struct SignpostEvent {
    enum class Kind { intervalBegin, intervalEnd };

    Kind kind = Kind::intervalBegin;
    std::string subsystem;
    std::string category;
    std::string name;
    std::uint64_t signpostId = 0;
    std::string message;
};

} // namespace sonavex
