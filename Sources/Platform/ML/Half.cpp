#include "Platform/ML/Half.h"

namespace ml {

namespace detail {
void halfToFloatF16C(const Float16* source, float* destination, std::size_t n);
void floatToHalfF16C(const float* source, Float16* destination, std::size_t n);
} // namespace detail

namespace {
bool hasF16C() {
    // The F16C file is compiled for AVX2 as a whole, so ask for everything it may use.
    static const bool supported =
        __builtin_cpu_supports("f16c") && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    return supported;
}
} // namespace

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
