#pragma once
// A hash built by feeding a value's parts in a fixed order (64-bit FNV-1a over each part's bytes), so a
// record hashes alike wherever it is hashed and equal values give equal hashes.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sonavex {

class Hasher {
public:
    void combine(uint64_t value) {
        for (int byte = 0; byte < 8; ++byte) {
            state_ ^= (value >> (8 * byte)) & 0xff;
            state_ *= 0x100000001b3ull;
        }
    }
    void combine(int64_t value) { combine(static_cast<uint64_t>(value)); }
    void combine(bool value) { combine(uint64_t{value ? 1u : 0u}); }
    /// Negative zero hashes as positive zero, because the two compare equal.
    void combine(float value) { combine(uint64_t{std::bit_cast<uint32_t>(value == 0.0f ? 0.0f : value)}); }
    void combine(std::string_view text) {
        combine(static_cast<uint64_t>(text.size()));
        for (char c : text) {
            state_ ^= static_cast<unsigned char>(c);
            state_ *= 0x100000001b3ull;
        }
    }

    std::size_t finalize() const { return static_cast<std::size_t>(state_); }

private:
    uint64_t state_ = 0xcbf29ce484222325ull;
};

} // namespace sonavex
