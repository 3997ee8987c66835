#pragma once
// A dense, row-major, multi-dimensional array of one scalar type: what models take and return.
// Storage is 64-byte aligned (kernels use aligned vector loads) and owned by the array; copying
// copies the elements. Share an array between owners through std::shared_ptr<MultiArray>.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "Platform/ML/Values/Half.h"
#include "Platform/ML/Values/MultiArrayDataType.h"

namespace ml {

class MultiArray {
public:
    /// A one-dimensional Float32 array of no elements.
    MultiArray();

    /// A zero-filled array. The shape needs at least one dimension and no negative size;
    /// throws std::invalid_argument otherwise, and std::length_error when the size overflows.
    MultiArray(std::vector<int64_t> shape, MultiArrayDataType dataType);

    /// The number of elements of an array of this shape, or nothing when no array can have it: a
    /// negative size, or sizes whose product (zeros left out, as the strides leave them out) exceeds
    /// 2^59, so that every count, stride and byte count fits 64 bits.
    static std::optional<int64_t> elementCount(std::span<const int64_t> shape);

    /// An array with every element set to `value`, converted to the element type
    /// (std::out_of_range when an integer type cannot hold it).
    static MultiArray filled(std::vector<int64_t> shape, MultiArrayDataType dataType, double value);

    /// A Float32 (or other type) array holding `values` in row-major order; their number must match the shape.
    static MultiArray fromFloats(std::vector<int64_t> shape, std::span<const float> values,
                                 MultiArrayDataType dataType = MultiArrayDataType::Float32);

    MultiArray(const MultiArray& other);
    MultiArray& operator=(const MultiArray& other);
    MultiArray(MultiArray&& other) noexcept;
    MultiArray& operator=(MultiArray&& other) noexcept;
    ~MultiArray();

    const std::vector<int64_t>& shape() const { return shape_; }
    /// Element strides, row-major: the last dimension has stride 1.
    const std::vector<int64_t>& strides() const { return strides_; }
    int64_t count() const { return count_; }
    MultiArrayDataType dataType() const { return dataType_; }
    std::size_t byteCount() const { return static_cast<std::size_t>(count_) * elementSize(dataType_); }

    /// Address of element 0.
    void* data() { return storage_.get(); }
    const void* data() const { return storage_.get(); }

    /// Typed views; throw std::invalid_argument when T is not the element type.
    template <typename T> std::span<T> elements() {
        requireType(DataTypeOf<T>::value);
        return {static_cast<T*>(data()), static_cast<std::size_t>(count_)};
    }
    template <typename T> std::span<const T> elements() const {
        requireType(DataTypeOf<T>::value);
        return {static_cast<const T*>(data()), static_cast<std::size_t>(count_)};
    }

    /// Flat element offset of a full index; throws std::out_of_range for a wrong rank or an entry out of bounds.
    int64_t offset(std::span<const int64_t> index) const;
    int64_t offset(std::initializer_list<int64_t> index) const {
        return offset(std::span<const int64_t>(index.begin(), index.size()));
    }

    /// Element access with conversion (like the platform's number subscripts); bounds-checked.
    double value(int64_t linearIndex) const;
    void setValue(int64_t linearIndex, double value);
    double value(std::initializer_list<int64_t> index) const { return value(offset(index)); }
    void setValue(std::initializer_list<int64_t> index, double v) { setValue(offset(index), v); }

    /// Sets every element to `value` converted to the element type.
    void fill(double value);

    /// All elements widened (or narrowed) to float, in row-major order.
    std::vector<float> toFloats() const;

    /// A copy holding the same values in another element type.
    MultiArray converted(MultiArrayDataType dataType) const;

    /// A copy with another shape of the same element count.
    MultiArray reshaped(std::vector<int64_t> shape) const;

    /// Same shape, type and bytes.
    bool operator==(const MultiArray& other) const;

private:
    struct Free {
        Free() noexcept : mappedBytes(0) {}
        explicit Free(std::size_t mapped) noexcept : mappedBytes(mapped) {}
        void operator()(void* pointer) const;
        std::size_t mappedBytes; // the mapping of a large array, or 0 (from the heap)
    };

    void requireType(MultiArrayDataType expected) const;
    void checkLinearIndex(int64_t linearIndex) const;

    std::vector<int64_t> shape_;
    std::vector<int64_t> strides_;
    int64_t count_ = 0;
    MultiArrayDataType dataType_ = MultiArrayDataType::Float32;
    std::unique_ptr<void, Free> storage_;
};

/// "[1, 80, 1, 3000]"
std::string shapeDescription(std::span<const int64_t> shape);

} // namespace ml
