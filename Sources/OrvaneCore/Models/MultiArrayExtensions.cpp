#include "OrvaneCore/Models/MultiArrayExtensions.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "OrvaneCore/Models/MLMultiArrayCreationError.h"

namespace orvane {

namespace {

void requireSupportedTensor(const ml::MultiArray& tensor) {
    const auto type = tensor.dataType();
    if (type != ml::MultiArrayDataType::Float32 && type != ml::MultiArrayDataType::Float16 &&
        type != ml::MultiArrayDataType::Int32) {
        throw std::invalid_argument("Unsupported scalar type: " + ml::dataTypeName(type));
    }
}

std::vector<int64_t> truncated(const std::vector<double>& numbers) {
    std::vector<int64_t> integers;
    integers.reserve(numbers.size());
    for (double number : numbers) {
        if (!std::isfinite(number) || std::fabs(number) >= 9.0e18) {
            throw std::out_of_range("index entry " + std::to_string(number) + " is not an integer");
        }
        integers.push_back(static_cast<int64_t>(number));
    }
    return integers;
}

} // namespace

std::shared_ptr<ml::MultiArray> makeMultiArray(const std::vector<int64_t>& shape, ml::MultiArrayDataType dataType,
                                               std::optional<double> initialValue) {
    if (dataType == ml::MultiArrayDataType::Float16 && !halfBufferGeometry(shape)) {
        throw MLMultiArrayCreationError();
    }
    auto array = std::make_shared<ml::MultiArray>(shape, dataType);
    // Every element, whatever the type (Int8 included) and whatever scalar type the caller's value had.
    if (initialValue) {
        array->fill(*initialValue);
    }
    return array;
}

std::optional<HalfBufferGeometry> halfBufferGeometry(const std::vector<int64_t>& shape) {
    if (shape.empty()) {
        return std::nullopt;
    }
    HalfBufferGeometry geometry{shape.back(), 1};
    for (std::size_t i = 0; i + 1 < shape.size(); ++i) {
        // A height past 64 bits is a buffer no one can make, not a wrapped-around small one.
        if (__builtin_mul_overflow(geometry.height, shape[i], &geometry.height)) {
            return std::nullopt;
        }
    }
    return geometry;
}

std::shared_ptr<ml::MultiArray> multiArrayFrom(const std::vector<int64_t>& values, int dims) {
    if (dims < 1) {
        throw std::invalid_argument("multiArrayFrom needs at least one dimension");
    }
    std::vector<int64_t> shape(static_cast<std::size_t>(dims), 1);
    shape.back() = static_cast<int64_t>(values.size());
    auto array = std::make_shared<ml::MultiArray>(shape, ml::MultiArrayDataType::Int32);
    auto elements = array->elements<int32_t>();
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] < std::numeric_limits<int32_t>::min() || values[i] > std::numeric_limits<int32_t>::max()) {
            throw std::out_of_range("value " + std::to_string(values[i]) + " does not fit 32 bits");
        }
        elements[i] = static_cast<int32_t>(values[i]);
    }
    return array;
}

int64_t linearOffset(const ml::MultiArray& array, const std::vector<int64_t>& index,
                     const std::optional<std::vector<int64_t>>& strides) {
    const std::vector<int64_t>& used = strides ? *strides : array.strides();
    int64_t offset = 0;
    for (std::size_t i = 0; i < std::min(index.size(), used.size()); ++i) {
        offset += index[i] * used[i];
    }
    return offset;
}

int64_t linearOffsetForNumbers(const ml::MultiArray& array, const std::vector<double>& index,
                               const std::optional<std::vector<int64_t>>& strides) {
    return linearOffset(array, truncated(index), strides);
}

void fillLastDimension(ml::MultiArray& array, int64_t lower, int64_t upper, ml::Float16 value) {
    const auto& shape = array.shape();
    if (array.dataType() != ml::MultiArrayDataType::Float16 || shape.size() != 3 || shape[0] != 1 || shape[1] != 1) {
        throw std::invalid_argument("fillLastDimension needs a Float16 array of shape [1, 1, n], not " +
                                    ml::dataTypeName(array.dataType()) + " " + ml::shapeDescription(shape));
    }
    if (lower < 0 || lower > upper || upper > shape[2]) {
        throw std::invalid_argument("fillLastDimension range " + std::to_string(lower) + "..<" +
                                    std::to_string(upper) + " is outside 0..<" + std::to_string(shape[2]));
    }
    auto* data = static_cast<ml::Float16*>(array.data());
    const int64_t stride = array.strides()[2];
    for (int64_t i = lower; i < upper; ++i) {
        data[i * stride] = value;
    }
}

template <typename T>
void fill(ml::MultiArray& array, const std::vector<std::vector<int64_t>>& indexes, T value) {
    T* data = array.elements<T>().data();
    const std::vector<int64_t> shape = array.shape();
    const std::vector<int64_t> strides = array.strides();
    for (const auto& index : indexes) {
        if (index.size() != shape.size()) {
            continue;
        }
        int64_t offset = 0;
        bool inside = true;
        for (std::size_t i = 0; i < index.size() && inside; ++i) {
            inside = index[i] >= 0 && index[i] < shape[i];
            if (inside) { // an entry out of bounds may be large enough to overflow the sum
                offset += index[i] * strides[i];
            }
        }
        if (inside) {
            data[offset] = value;
        }
    }
}

template <typename T>
void fillNumberIndexes(ml::MultiArray& array, const std::vector<std::vector<double>>& indexes, T value) {
    std::vector<std::vector<int64_t>> integers;
    integers.reserve(indexes.size());
    for (const auto& index : indexes) {
        integers.push_back(truncated(index));
    }
    fill(array, integers, value);
}

#define ORVANE_FILL_FOR(T)                                                                                     \
    template void fill<T>(ml::MultiArray&, const std::vector<std::vector<int64_t>>&, T);                       \
    template void fillNumberIndexes<T>(ml::MultiArray&, const std::vector<std::vector<double>>&, T);
ORVANE_FILL_FOR(ml::Float16)
ORVANE_FILL_FOR(float)
ORVANE_FILL_FOR(double)
ORVANE_FILL_FOR(int32_t)
ORVANE_FILL_FOR(int8_t)
#undef ORVANE_FILL_FOR

std::vector<int64_t> toIntArray(const ml::MultiArray& tensor) {
    if (tensor.dataType() != ml::MultiArrayDataType::Int32) {
        throw std::invalid_argument("Unsupported scalar type: " + ml::dataTypeName(tensor.dataType()));
    }
    auto elements = tensor.elements<int32_t>();
    return {elements.begin(), elements.end()};
}

std::vector<float> toFloatArray(const ml::MultiArray& tensor) {
    requireSupportedTensor(tensor);
    return tensor.toFloats();
}

std::shared_ptr<ml::MultiArray> toMultiArray(const ml::MultiArray& tensor) {
    requireSupportedTensor(tensor);
    return std::make_shared<ml::MultiArray>(tensor);
}

} // namespace orvane
