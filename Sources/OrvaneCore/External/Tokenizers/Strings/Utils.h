#pragma once
// Small helpers shared by the tokenizer models.

#include <unordered_map>

namespace orvane {

struct Utils {
    /// Keys and values swapped; when two keys share a value, the later one in iteration order wins.
    template <typename K, typename V, typename... Rest>
    static std::unordered_map<V, K> invert(const std::unordered_map<K, V, Rest...>& map) {
        std::unordered_map<V, K> result;
        result.reserve(map.size());
        for (const auto& [key, value] : map)
            result[value] = key;
        return result;
    }
};

} // namespace orvane
