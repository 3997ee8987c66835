#include "OrvaneCore/Concurrency/ConcurrencyUtilities.h"

#include <unistd.h>

namespace orvane {

int ConcurrencyUtilities::activeProcessorCount() {
    long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<int>(count) : 1;
}

} // namespace orvane
