#include "Platform/ML/TensorOps.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace ml {

namespace {
float maximumOf(std::span<const float> values) {
    float maximum = -std::numeric_limits<float>::infinity();
    for (float value : values) {
        if (std::isnan(value)) {
            return value;
        }
        maximum = std::max(maximum, value);
    }
    return maximum;
}
} // namespace

std::vector<float> softmax(std::span<const float> values) {
    std::vector<float> result(values.size());
    const float maximum = maximumOf(values);
    if (!std::isfinite(maximum) && !values.empty()) {
        // +inf wins outright; all -inf or NaN has no distribution.
        const bool positive = maximum > 0;
        for (std::size_t i = 0; i < values.size(); ++i) {
            result[i] = positive ? (values[i] == maximum ? 1.0f : 0.0f) : std::numeric_limits<float>::quiet_NaN();
        }
        if (positive) {
            const auto winners = static_cast<float>(std::count(values.begin(), values.end(), maximum));
            for (float& value : result) {
                value /= winners;
            }
        }
        return result;
    }
    double sum = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        result[i] = std::exp(values[i] - maximum);
        sum += result[i];
    }
    const auto scale = static_cast<float>(1.0 / sum);
    for (float& value : result) {
        value *= scale;
    }
    return result;
}

std::vector<float> logSoftmax(std::span<const float> values) {
    std::vector<float> result(values.size());
    const float maximum = maximumOf(values);
    if (!std::isfinite(maximum)) {
        std::fill(result.begin(), result.end(), std::numeric_limits<float>::quiet_NaN());
        return result;
    }
    double sum = 0;
    for (float value : values) {
        sum += std::exp(static_cast<double>(value - maximum));
    }
    const auto logSum = static_cast<float>(std::log(sum));
    for (std::size_t i = 0; i < values.size(); ++i) {
        result[i] = values[i] - maximum - logSum;
    }
    return result;
}

int64_t argmax(std::span<const float> values) {
    if (values.empty()) {
        throw std::invalid_argument("argmax of no values");
    }
    int64_t best = -1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (std::isnan(values[i])) {
            continue;
        }
        if (best < 0 || values[i] > values[static_cast<std::size_t>(best)]) {
            best = static_cast<int64_t>(i);
        }
    }
    return best < 0 ? 0 : best;
}

TopK topK(std::span<const float> values, int64_t k) {
    if (k < 0) {
        throw std::invalid_argument("top-k needs a k of 0 or more");
    }
    const auto count = static_cast<std::size_t>(std::min<int64_t>(k, static_cast<int64_t>(values.size())));
    std::vector<int64_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    auto larger = [&](int64_t a, int64_t b) {
        const float x = values[static_cast<std::size_t>(a)];
        const float y = values[static_cast<std::size_t>(b)];
        // NaN sorts last; equal values keep index order.
        if (std::isnan(x) != std::isnan(y)) {
            return std::isnan(y);
        }
        if (x != y && !std::isnan(x)) {
            return x > y;
        }
        return a < b;
    };
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count), order.end(), larger);
    TopK result;
    result.indices.assign(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count));
    for (int64_t index : result.indices) {
        result.values.push_back(values[static_cast<std::size_t>(index)]);
    }
    return result;
}

std::vector<float> cumulativeSum(std::span<const float> values) {
    std::vector<float> result(values.size());
    float running = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        running += values[i];
        result[i] = running;
    }
    return result;
}

} // namespace ml
