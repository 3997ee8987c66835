#pragma once
// One speech chunk of a file read piece by piece, with the signal that gives its slot back.

#include "Sonavex/Core/Results/AudioChunk.h"

#include <functional>

namespace sonavex {

struct IncrementalFileChunk {
    /// The samples and the index of the first of them in the whole file, at 16 kHz.
    AudioChunk audioChunk;
    /// Call once done with the chunk: it frees the chunk's slot so that the reader may hand out the next.
    /// Never blocks; may be called from any thread, also after the stream is gone.
    std::function<void()> completionSignal;
};

} // namespace sonavex
