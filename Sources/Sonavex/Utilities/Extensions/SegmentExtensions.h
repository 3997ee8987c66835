#pragma once
// Membership of a segment in a list, by start time alone.

#include "Sonavex/Core/Results/TranscriptionSegment.h"

#include <vector>

namespace sonavex {

/// True when some segment starts exactly where `segment` does; nothing else is compared.
bool contains(const std::vector<TranscriptionSegment>& segments, const TranscriptionSegment& segment);

} // namespace sonavex
