#include "Platform/ML/Kernels/Packed/BfloatRoad.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/AmxGemm.h"

#include <cpuid.h>

namespace ml::kernels {
namespace {

// Asked here, in a file compiled for any processor: the vector kernels' own file may not even be loadable.
bool processorHasBfloatVectors() {
    unsigned a, b, c, d;
    if (!__get_cpuid_count(7, 1, &a, &b, &c, &d))
        return false;
    return ((a >> 5) & 1) && kernelsFor(Isa::avx512) != nullptr;
}

} // namespace

bool bfloatRoadAvailable(BfloatRoad road) {
    switch (road) {
    case BfloatRoad::none:
        return true;
    case BfloatRoad::vectors: {
        static const bool available = processorHasBfloatVectors();
        return available;
    }
    case BfloatRoad::tiles:
        return amxAvailable();
    }
    return false;
}

BfloatRoad bestBfloatRoad() {
    static const BfloatRoad best = bfloatRoadAvailable(BfloatRoad::tiles)     ? BfloatRoad::tiles
                                   : bfloatRoadAvailable(BfloatRoad::vectors) ? BfloatRoad::vectors
                                                                              : BfloatRoad::none;
    return best;
}

const char* bfloatRoadName(BfloatRoad road) {
    switch (road) {
    case BfloatRoad::none:
        break;
    case BfloatRoad::vectors:
        return "AVX-512 BF16 vectors";
    case BfloatRoad::tiles:
        return "AMX bfloat16 tiles";
    }
    return "none (float32)";
}

} // namespace ml::kernels
