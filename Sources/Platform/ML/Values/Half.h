#pragma once
// IEEE binary16 values and bulk conversion to and from float (F16C where the processor has it).

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ml {

#if defined(__FLT16_MANT_DIG__)
using Float16 = _Float16;
#else
// Compilers without an arithmetic half type on this target (clang before 15 on x86-64, which the
// sanitizer builds use): a 16-bit value with the same layout that converts through float. Arithmetic
// happens in float; a double is narrowed through float, which can differ from a direct narrowing in
// the last place for rare ties.
class Float16 {
public:
    Float16() = default;
    Float16(float value) : bits_(bitsOf(value)) {}
    Float16(double value) : Float16(static_cast<float>(value)) {}
    template <std::integral Integer> Float16(Integer value) : Float16(static_cast<float>(value)) {}

    operator float() const { return valueOf(bits_); }

private:
    // Round to nearest even; overflow gives infinity, NaN a quiet NaN.
    static std::uint16_t bitsOf(float value) {
        std::uint32_t u;
        std::memcpy(&u, &value, sizeof u);
        const std::uint32_t sign = u & 0x80000000u;
        u ^= sign;
        std::uint16_t bits;
        if (u >= (127u + 16u) << 23) {
            bits = u > 0x7f800000u ? 0x7e00 : 0x7c00;
        } else if (u < 113u << 23) {
            // Subnormal or zero: adding 0.5 lines the half's bits up at the bottom of the mantissa.
            float shifted;
            std::memcpy(&shifted, &u, sizeof shifted);
            shifted += 0.5f;
            std::memcpy(&u, &shifted, sizeof u);
            bits = static_cast<std::uint16_t>(u - (126u << 23));
        } else {
            const std::uint32_t odd = (u >> 13) & 1u;
            u += (static_cast<std::uint32_t>(15 - 127) << 23) + 0xfffu + odd;
            bits = static_cast<std::uint16_t>(u >> 13);
        }
        return static_cast<std::uint16_t>(bits | (sign >> 16));
    }

    static float valueOf(std::uint16_t bits) {
        std::uint32_t u = static_cast<std::uint32_t>(bits & 0x7fff) << 13;
        const std::uint32_t exponent = u & (0x7c00u << 13);
        u += (127u - 15u) << 23;
        float value;
        if (exponent == 0x7c00u << 13) {
            u += (128u - 16u) << 23; // infinity or NaN
            std::memcpy(&value, &u, sizeof value);
        } else if (exponent == 0) {
            u += 1u << 23; // subnormal or zero: renormalise
            std::memcpy(&value, &u, sizeof value);
            value -= 6.103515625e-05f; // 2^-14
        } else {
            std::memcpy(&value, &u, sizeof value);
        }
        return (bits & 0x8000) ? -value : value;
    }

    std::uint16_t bits_;
};
static_assert(sizeof(Float16) == 2);
#endif

/// True when the processor converts half floats itself (F16C). Asked through cpuid, because clang
/// before 15 does not know "f16c" as a __builtin_cpu_supports feature.
bool processorHasF16C();

/// Widens n half floats; exact.
void halfToFloat(const Float16* source, float* destination, std::size_t n);

/// Narrows n floats to half floats, rounding to nearest even (overflow gives infinity).
void floatToHalf(const float* source, Float16* destination, std::size_t n);

inline uint16_t halfBits(Float16 value) {
    uint16_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline Float16 halfFromBits(uint16_t bits) {
    Float16 value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace ml
