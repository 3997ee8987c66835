#pragma once
// IEEE binary16 values and bulk conversion to and from float (F16C where the processor has it).

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ml {

using Float16 = _Float16;

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
