#pragma once
// Facts the concurrency helpers size themselves by.

namespace orvane {

struct ConcurrencyUtilities {
    /// Processors currently online.
    static int activeProcessorCount();
};

} // namespace orvane
