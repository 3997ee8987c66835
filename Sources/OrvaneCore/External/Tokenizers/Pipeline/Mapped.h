#pragma once
// The list forms of the one-item lookups (tokens to ids, ids to tokens): each item mapped in order.

#include <vector>

namespace orvane {

template <typename Item, typename Function> auto mapped(const std::vector<Item>& items, Function&& function) {
    std::vector<decltype(function(items.front()))> results;
    results.reserve(items.size());
    for (const Item& item : items)
        results.push_back(function(item));
    return results;
}

} // namespace orvane
