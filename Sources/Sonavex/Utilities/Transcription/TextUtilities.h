#pragma once
// How repetitive decoded output is: its raw size over its DEFLATE-compressed size. Text that repeats
// itself compresses well and scores high; the decoder retries a window whose ratio is above the
// options' threshold.

#include <cstdint>
#include <string>
#include <vector>

namespace sonavex {

struct TextUtilities {
    /// 4 bytes per token (each id as a little-endian 32-bit integer) over their compressed length.
    static float compressionRatio(const std::vector<int64_t>& tokens);
    /// UTF-8 bytes over their compressed length; positive infinity for the empty string or text that is
    /// not valid UTF-8 ("String encoding error" in the debug log).
    static float compressionRatio(const std::string& text);
};

} // namespace sonavex
