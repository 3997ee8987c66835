#pragma once
// One head's attention for a block of queries, the work unit of the float32 attention kernels
// (AttentionBlock_<isa>.cpp, reached through the kernel table's `attentionBlock`).

#include <cstddef>

namespace ml::kernels {

struct AttentionBlock {
    /// The block's query rows (this head's channels), row stride ldq.
    const float* queries;
    size_t ldq;
    size_t rows;
    /// Index of the block's first query among all queries (for the causal cut-off).
    size_t firstQuery;
    /// This head's keys in the kernel's panels (`attentionPanelWidth` keys each, zero past the last key):
    /// [key panel][channel][key], scaled by log2(e) / sqrt(headSize), so scores come out in base 2.
    const float* keyPanels;
    /// This head's values in panels of `attentionPanelWidth` channels (zero past the head size):
    /// [channel panel][key][channel].
    const float* valuePanels;
    size_t keys;
    size_t headSize;
    /// Additive mask over keys in natural units (0 to see, large negative or -inf to hide), or null.
    const float* keyMask;
    /// When causal, query i sees keys j <= i + causalShift only.
    bool causal;
    size_t causalShift;
    /// The block's output rows (headSize channels each), row stride ldo.
    float* out;
    size_t ldo;
};

} // namespace ml::kernels
