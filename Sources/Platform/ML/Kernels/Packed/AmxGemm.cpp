#include "Platform/ML/Kernels/Packed/AmxGemm.h"

#include "Platform/ML/Kernels/KernelTable.h"

#include <cpuid.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ml::kernels {
namespace {

constexpr long kRequestPermission = 0x1023; // ARCH_REQ_XCOMP_PERM
constexpr long kTileData = 18;              // XFEATURE_XTILEDATA

// Asked here, in a file compiled for any processor: the tile code itself may not even be loadable.
bool processorHasTiles() {
    unsigned a, b, c, d;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return false;
    const bool tiles = (d >> 24) & 1, bfloat16Tiles = (d >> 22) & 1;
    if (!__get_cpuid_count(7, 1, &a, &b, &c, &d))
        return false;
    const bool bfloat16Vectors = (a >> 5) & 1; // the activations are converted with AVX-512 BF16
    return tiles && bfloat16Tiles && bfloat16Vectors && kernelsFor(Isa::avx512) != nullptr;
}

} // namespace

bool amxAvailable() {
    static const bool available =
        processorHasTiles() && syscall(SYS_arch_prctl, kRequestPermission, kTileData) == 0;
    return available;
}

} // namespace ml::kernels
