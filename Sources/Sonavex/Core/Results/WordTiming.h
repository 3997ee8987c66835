#pragma once
// The timing of one word inside a segment: its text, the tokens that make it, when it starts and ends and
// how probable it is.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

namespace sonavex {

struct WordTiming {
    std::string word;
    std::vector<int64_t> tokens;
    float start = 0;
    float end = 0;
    float probability = 0;

    /// No check that it is positive.
    float duration() const { return end - start; }

    /// Floats compare as IEEE values: a NaN field makes a timing unequal even to itself.
    friend bool operator==(const WordTiming&, const WordTiming&) = default;
};

std::size_t hashValue(const WordTiming& timing);

/// Keys "word", "tokens", "start", "end", "probability", all required.
void to_json(nlohmann::ordered_json& json, const WordTiming& timing);
void from_json(const nlohmann::ordered_json& json, WordTiming& timing);

} // namespace sonavex

template <> struct std::hash<sonavex::WordTiming> {
    std::size_t operator()(const sonavex::WordTiming& timing) const { return sonavex::hashValue(timing); }
};
