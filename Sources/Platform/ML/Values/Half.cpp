#include "Platform/ML/Values/Half.h"

#include <cpuid.h>

namespace ml {

namespace detail {
void halfToFloatF16C(const Float16* source, float* destination, std::size_t n);
void floatToHalfF16C(const float* source, Float16* destination, std::size_t n);
} // namespace detail

namespace {
bool hasF16C() {
    // The F16C file is compiled for AVX2 as a whole, so ask for everything it may use.
    static const bool supported =
        processorHasF16C() && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return supported;
}
} // namespace

bool processorHasF16C() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_F16C) != 0;
}

void halfToFloat(const Float16* source, float* destination, std::size_t n) {
    if (hasF16C()) {
        detail::halfToFloatF16C(source, destination, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        destination[i] = static_cast<float>(source[i]);
    }
}

void floatToHalf(const float* source, Float16* destination, std::size_t n) {
    if (hasF16C()) {
        detail::floatToHalfF16C(source, destination, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        destination[i] = static_cast<Float16>(source[i]);
    }
}

} // namespace ml
