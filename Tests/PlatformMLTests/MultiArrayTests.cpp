#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

#include "Platform/ML/Values/Half.h"
#include "Platform/ML/Values/MultiArray.h"

using ml::MultiArray;
using ml::MultiArrayDataType;

TEST(MultiArray, LayoutIsRowMajorAlignedAndZeroed) {
    MultiArray array({2, 3, 4}, MultiArrayDataType::Float16);
    EXPECT_EQ(array.strides(), (std::vector<int64_t>{12, 4, 1}));
    EXPECT_EQ(array.count(), 24);
    EXPECT_EQ(array.byteCount(), 48u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(array.data()) % 64, 0u);
    for (int64_t i = 0; i < array.count(); ++i) {
        EXPECT_EQ(array.value(i), 0.0);
    }
    EXPECT_EQ(array.offset({1, 2, 3}), 23);
}

TEST(MultiArray, LargeArraysAreZeroedAlignedAndCopyLikeSmallOnes) {
    // Past the large-page size, with a partial last large page and a partial last small page.
    const int64_t count = (int64_t(5) << 20) / 4 + 123;
    MultiArray array({count}, MultiArrayDataType::Float32);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(array.data()) % 64, 0u);
    auto* values = static_cast<float*>(array.data());
    for (int64_t i = 0; i < count; ++i)
        ASSERT_EQ(values[i], 0.0f) << i;
    values[0] = 1.0f;
    values[count - 1] = 2.0f; // the last element is writable
    MultiArray copy(array);
    EXPECT_NE(copy.data(), array.data());
    EXPECT_TRUE(copy == array);
    MultiArray moved(std::move(copy));
    EXPECT_EQ(moved.value(count - 1), 2.0);
    moved = MultiArray({2}, MultiArrayDataType::Float32); // a large array replaced by a small one
    EXPECT_EQ(moved.value(1), 0.0);
}

TEST(MultiArray, RejectsBadShapesAndIndexesLoudly) {
    EXPECT_THROW(MultiArray({}, MultiArrayDataType::Float32), std::invalid_argument);
    EXPECT_THROW(MultiArray({2, -1}, MultiArrayDataType::Float32), std::invalid_argument);
    EXPECT_THROW(MultiArray({1LL << 40, 1LL << 40}, MultiArrayDataType::Float32), std::length_error);
    // An empty array's other sizes still multiply into its strides.
    EXPECT_THROW(MultiArray({0, 1LL << 32, 1LL << 32}, MultiArrayDataType::Float32), std::length_error);
    EXPECT_EQ(MultiArray({0, 1LL << 20, 1LL << 20}, MultiArrayDataType::Float32).count(), 0);
    EXPECT_EQ(MultiArray::elementCount(std::vector<int64_t>{3, 0, 5}), 0);
    EXPECT_EQ(MultiArray::elementCount(std::vector<int64_t>{3, -1}), std::nullopt);
    MultiArray array({2, 2}, MultiArrayDataType::Int32);
    EXPECT_THROW(array.offset({2, 0}), std::out_of_range);
    EXPECT_THROW(array.offset({0}), std::out_of_range);
    EXPECT_THROW(array.value(4), std::out_of_range);
    EXPECT_THROW(array.elements<float>(), std::invalid_argument);
}

TEST(MultiArray, FillConvertsTheValueForEveryElementType) {
    for (auto type : {MultiArrayDataType::Float16, MultiArrayDataType::Float32, MultiArrayDataType::Float64,
                      MultiArrayDataType::Int32, MultiArrayDataType::Int8}) {
        MultiArray array = MultiArray::filled({3, 5}, type, -7.0);
        for (int64_t i = 0; i < array.count(); ++i) {
            EXPECT_EQ(array.value(i), -7.0) << ml::dataTypeName(type);
        }
    }
    // Integers truncate toward zero; values they cannot hold are an error, not a wrapped number.
    EXPECT_EQ(MultiArray::filled({1}, MultiArrayDataType::Int32, -2.9).value(0), -2.0);
    EXPECT_THROW(MultiArray::filled({1}, MultiArrayDataType::Int8, 128.0), std::out_of_range);
    EXPECT_THROW(MultiArray::filled({1}, MultiArrayDataType::Int32, NAN), std::out_of_range);
    EXPECT_EQ(ml::halfBits(MultiArray::filled({1}, MultiArrayDataType::Float16, -10000.0).elements<ml::Float16>()[0]),
              0xF0E2);
}

TEST(MultiArray, CopiesAreDeepAndConversionsRoundTrip) {
    MultiArray original = MultiArray::fromFloats({2, 2}, std::vector<float>{1.5f, -2.0f, 0.25f, 65504.0f});
    MultiArray copy = original;
    copy.setValue({0, 0}, 9.0);
    EXPECT_EQ(original.value({0, 0}), 1.5);
    MultiArray half = original.converted(MultiArrayDataType::Float16);
    EXPECT_EQ(half.converted(MultiArrayDataType::Float32), original);
    EXPECT_EQ(original.reshaped({4}).shape(), (std::vector<int64_t>{4}));
    EXPECT_THROW(original.reshaped({3}), std::invalid_argument);
}

// The bulk (F16C) conversions must agree bit for bit with the compiler's scalar conversions.
TEST(Half, BulkConversionsMatchScalarConversionsExactly) {
    std::vector<ml::Float16> halves(65536);
    for (uint32_t bits = 0; bits < 65536; ++bits) {
        halves[bits] = ml::halfFromBits(static_cast<uint16_t>(bits));
    }
    std::vector<float> widened(halves.size());
    ml::halfToFloat(halves.data(), widened.data(), halves.size());
    for (uint32_t bits = 0; bits < 65536; ++bits) {
        const float expected = static_cast<float>(halves[bits]);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(widened[bits]));
        } else {
            ASSERT_EQ(widened[bits], expected) << bits;
        }
    }
    // Narrowing: values between representable halves, ties, overflow and subnormals.
    std::vector<float> floats;
    for (float f = -70000.0f; f < 70000.0f; f += 3.3f) {
        floats.push_back(f);
    }
    for (float f : {0.5f * 6.1035156e-05f, 1e-8f, 2049.0f, 2051.0f, 65519.0f, 65520.0f, 1e9f, -0.0f}) {
        floats.push_back(f);
    }
    std::vector<ml::Float16> narrowed(floats.size());
    ml::floatToHalf(floats.data(), narrowed.data(), floats.size());
    for (std::size_t i = 0; i < floats.size(); ++i) {
        ASSERT_EQ(ml::halfBits(narrowed[i]), ml::halfBits(static_cast<ml::Float16>(floats[i]))) << floats[i];
    }
}
