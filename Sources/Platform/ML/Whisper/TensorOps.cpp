#include "Platform/ML/Whisper/TensorOps.h"

#include "Platform/ML/Kernels/KernelTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace ml {

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

// The largest value, or NaN when any value is NaN (the rule soft-max follows).
float maximumOf(std::span<const float> values) {
    const auto& kernels = kernels::activeKernels();
    if (kernels.anyNaN(values.data(), values.size())) {
        return kNaN;
    }
    return kernels.maxIgnoringNaN(values.data(), values.size());
}

// Above this many, a full partial sort beats keeping a sorted list while scanning.
constexpr std::size_t kScanTopKLimit = 64;

TopK topKBySorting(std::span<const float> values, std::size_t count) {
    std::vector<int64_t> order(values.size());
    std::iota(order.begin(), order.end(), 0);
    auto larger = [&](int64_t a, int64_t b) {
        const float x = values[static_cast<std::size_t>(a)];
        const float y = values[static_cast<std::size_t>(b)];
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

// A sorted list of the best `count` so far; once it is full, the kernel jumps straight to the next value
// above its last entry, so a vocabulary-sized row costs about one vectorised pass.
TopK topKByScanning(std::span<const float> values, std::size_t count) {
    const auto& kernels = kernels::activeKernels();
    TopK result;
    result.values.reserve(count + 1);
    result.indices.reserve(count + 1);
    auto insert = [&](std::size_t index) {
        const float value = values[index];
        // After every equal value already held: ties stay in index order.
        const auto position = std::upper_bound(result.values.begin(), result.values.end(), value,
                                               [](float a, float b) { return a > b; });
        const auto offset = position - result.values.begin();
        result.values.insert(position, value);
        result.indices.insert(result.indices.begin() + offset, static_cast<int64_t>(index));
        if (result.values.size() > count) {
            result.values.pop_back();
            result.indices.pop_back();
        }
    };
    std::size_t i = 0;
    for (; i < values.size() && result.values.size() < count; ++i) {
        if (!std::isnan(values[i])) {
            insert(i);
        }
    }
    while (i < values.size()) {
        i += kernels.firstAbove(values.data() + i, values.size() - i, result.values.back());
        if (i < values.size()) {
            insert(i++);
        }
    }
    // Fewer numbers than places: NaN entries fill the rest, in index order.
    for (std::size_t j = 0; j < values.size() && result.values.size() < count; ++j) {
        if (std::isnan(values[j])) {
            result.values.push_back(values[j]);
            result.indices.push_back(static_cast<int64_t>(j));
        }
    }
    return result;
}

} // namespace

std::vector<float> toFloats(std::span<const Float16> values) {
    std::vector<float> result(values.size());
    halfToFloat(values.data(), result.data(), values.size());
    return result;
}

namespace {

// In place over the values; the rules of softmax() and logSoftmax() below.
void softmaxInPlace(std::vector<float>& values) {
    if (values.empty()) {
        return;
    }
    const float maximum = maximumOf(values);
    if (std::isnan(maximum) || maximum == -kInfinity) {
        // No distribution.
        std::fill(values.begin(), values.end(), kNaN);
    } else if (maximum == kInfinity) {
        // +inf wins outright, shared evenly among the winners.
        const auto winners = static_cast<float>(std::count(values.begin(), values.end(), maximum));
        for (float& value : values) {
            value = value == maximum ? 1.0f / winners : 0.0f;
        }
    } else {
        kernels::activeKernels().softmax(values.data(), values.size());
    }
}

void logSoftmaxInPlace(std::vector<float>& values) {
    if (!values.empty() && !std::isfinite(maximumOf(values))) {
        std::fill(values.begin(), values.end(), kNaN);
    } else {
        kernels::activeKernels().logSoftmax(values.data(), values.size());
    }
}

} // namespace

std::vector<float> softmax(std::span<const float> values) {
    std::vector<float> result(values.begin(), values.end());
    softmaxInPlace(result);
    return result;
}

std::vector<float> softmax(std::span<const Float16> values) {
    std::vector<float> result = toFloats(values);
    softmaxInPlace(result);
    return result;
}

std::vector<float> logSoftmax(std::span<const float> values) {
    std::vector<float> result(values.begin(), values.end());
    logSoftmaxInPlace(result);
    return result;
}

std::vector<float> logSoftmax(std::span<const Float16> values) {
    std::vector<float> result = toFloats(values);
    logSoftmaxInPlace(result);
    return result;
}

int64_t argmax(std::span<const float> values) {
    if (values.empty()) {
        throw std::invalid_argument("argmax of no values");
    }
    const auto& kernels = kernels::activeKernels();
    const float maximum = kernels.maxIgnoringNaN(values.data(), values.size());
    const std::size_t index = kernels.firstAtLeast(values.data(), values.size(), maximum);
    return index == values.size() ? 0 : static_cast<int64_t>(index);
}

int64_t argmax(std::span<const Float16> values) {
    const std::vector<float> widened = toFloats(values);
    return argmax(std::span<const float>(widened));
}

TopK topK(std::span<const float> values, int64_t k) {
    if (k < 0) {
        throw std::invalid_argument("top-k needs a k of 0 or more");
    }
    const auto count = static_cast<std::size_t>(std::min<int64_t>(k, static_cast<int64_t>(values.size())));
    if (count == 0) {
        return {};
    }
    return count <= kScanTopKLimit ? topKByScanning(values, count) : topKBySorting(values, count);
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
