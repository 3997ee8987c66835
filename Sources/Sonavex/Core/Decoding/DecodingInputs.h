#pragma once
// The text decoder's working state between steps: the window's opening tokens, the token and position of
// the current step, the key and value caches the engine keeps outside the model, the alignment weights of
// every decoded position, and the two masks that tell the model which cache position this step writes and
// which positions it may attend to. One object serves a whole run: it is filled for a window, advanced in
// place one position per step and reset for the next window; its arrays are never re-allocated.
// Not thread-safe: one decoding at a time may use it.
//
// Sizes: E (key/value channels), S (cache positions), W (encoder frames of a window).

#include "Platform/ML/Values/MultiArray.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace sonavex {

class DecodingInputs {
public:
    /// The additive mask value that hides a position (exact in half precision: bits 0xF0E2).
    static constexpr double hiddenPosition = -10000.0;

    DecodingInputs(std::vector<int64_t> initialPrompt, std::shared_ptr<ml::MultiArray> inputIds,
                   std::shared_ptr<ml::MultiArray> cacheLength, std::shared_ptr<ml::MultiArray> keyCache,
                   std::shared_ptr<ml::MultiArray> valueCache,
                   std::shared_ptr<ml::MultiArray> alignmentWeights,
                   std::shared_ptr<ml::MultiArray> kvCacheUpdateMask,
                   std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask);

    /// Fresh state for a decoder of these sizes: zero token, position and caches; position 0 writable
    /// and the only visible one. Throws what array creation throws (std::invalid_argument for a size
    /// below 1, std::length_error or std::bad_alloc for one too large).
    static std::shared_ptr<DecodingInputs> make(std::vector<int64_t> prompt, int64_t embedDim,
                                                int64_t maxSequenceLength, int64_t windowSize);

    /// The token ids that open the window.
    std::vector<int64_t> initialPrompt;
    /// Int32 [1]: the token fed to the model at the current step.
    std::shared_ptr<ml::MultiArray> inputIds;
    /// Int32 [1]: positions already in the caches, which is the current step's position.
    std::shared_ptr<ml::MultiArray> cacheLength;
    /// Float16 [1, E, 1, S]: one column of keys per decoded position.
    std::shared_ptr<ml::MultiArray> keyCache;
    /// Float16 [1, E, 1, S], laid out like keyCache.
    std::shared_ptr<ml::MultiArray> valueCache;
    /// Float16 [S, W]: per position, the alignment heads' weights over the window's frames.
    std::shared_ptr<ml::MultiArray> alignmentWeights;
    /// Int32 [1, S]: 1 at the position the current step writes, 0 elsewhere.
    std::shared_ptr<ml::MultiArray> kvCacheUpdateMask;
    /// Float16 [1, S]: 0 where a position may be attended to, hiddenPosition where not.
    std::shared_ptr<ml::MultiArray> decoderKeyPaddingMask;

    /// Prepares the same state for the next window: position 0, position 0 writable and visible, positions
    /// 1 ..< maxTokenContext neither. The prompt, token and caches stay as they are: old cache contents are
    /// hidden by the padding mask and overwritten step by step. Throws std::out_of_range unless
    /// 1 <= maxTokenContext <= S, before writing anything.
    void reset(int64_t maxTokenContext);
};

} // namespace sonavex
