#pragma once
// How segments and word timings feed their fields to a Hasher, in field order (shared by both, since a
// segment feeds its words).

#include "Sonavex/Core/Results/TranscriptionSegment.h"
#include "Sonavex/Core/Results/WordTiming.h"
#include "Sonavex/Utilities/System/Hasher.h"

namespace sonavex {

void feed(Hasher& hasher, const WordTiming& timing);
void feed(Hasher& hasher, const TranscriptionSegment& segment);

} // namespace sonavex
