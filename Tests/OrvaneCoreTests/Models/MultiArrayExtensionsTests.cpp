#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "OrvaneCore/Models/MLMultiArrayCreationError.h"
#include "OrvaneCore/Models/MultiArrayExtensions.h"

using ml::MultiArrayDataType;

TEST(MultiArrayCreation, EveryElementHoldsTheInitialValueWhateverItsScalarType) {
    // Int8 arrays are filled too, and a value of another scalar type is converted rather than ignored.
    auto bytes = orvane::makeMultiArray({2, 3}, MultiArrayDataType::Int8, int8_t{-5});
    auto floats = orvane::makeMultiArray({1, 4}, MultiArrayDataType::Float32, 0.5);
    auto ints = orvane::makeMultiArray({4}, MultiArrayDataType::Int32, 3.0f);
    auto halves = orvane::makeMultiArray({2, 3, 448}, MultiArrayDataType::Float16, -10000);
    for (int64_t i = 0; i < bytes->count(); ++i) {
        EXPECT_EQ(bytes->value(i), -5);
    }
    for (int64_t i = 0; i < 4; ++i) {
        EXPECT_EQ(floats->value(i), 0.5);
        EXPECT_EQ(ints->value(i), 3);
    }
    for (auto value : halves->elements<ml::Float16>()) {
        ASSERT_EQ(ml::halfBits(value), 0xF0E2);
    }
    EXPECT_EQ(orvane::makeMultiArray({3}, MultiArrayDataType::Float64)->value(2), 0.0);
    EXPECT_THROW(orvane::makeMultiArray({1}, MultiArrayDataType::Int8, 300), std::out_of_range);
}

TEST(MultiArrayCreation, HalfArraysNeedAShape) {
    try {
        orvane::makeMultiArray({}, MultiArrayDataType::Float16, 0.0);
        FAIL();
    } catch (const orvane::MLMultiArrayCreationError& error) {
        EXPECT_STREQ(error.what(), "Failed to create IOSurface-backed pixel buffer for MLMultiArray");
        const orvane::MLMultiArrayCreationError same(orvane::MLMultiArrayCreationError::Kind::pixelBufferFailed);
        EXPECT_EQ(error, same);
        EXPECT_EQ(std::hash<orvane::MLMultiArrayCreationError>{}(error), std::hash<orvane::MLMultiArrayCreationError>{}(same));
    }
    EXPECT_THROW(orvane::makeMultiArray({}, MultiArrayDataType::Float32), std::invalid_argument);
    EXPECT_EQ(orvane::halfBufferGeometry({2, 3, 448}), (orvane::HalfBufferGeometry{448, 6}));
    EXPECT_EQ(orvane::halfBufferGeometry({5}), (orvane::HalfBufferGeometry{5, 1}));
    EXPECT_FALSE(orvane::halfBufferGeometry({}));
    // A height that overflows is no buffer at all, not a wrapped-around empty one.
    const int64_t huge = int64_t{1} << 40;
    EXPECT_FALSE(orvane::halfBufferGeometry({huge, huge, 2}));
    EXPECT_THROW(orvane::makeMultiArray({huge, huge, 2}, MultiArrayDataType::Float16), orvane::MLMultiArrayCreationError);
}

TEST(MultiArrayCreation, FromIntegersShapesAndChecks) {
    auto array = orvane::multiArrayFrom({5, 6, 7}, 3);
    EXPECT_EQ(array->shape(), (std::vector<int64_t>{1, 1, 3}));
    EXPECT_EQ(orvane::toIntArray(*array), (std::vector<int64_t>{5, 6, 7}));
    EXPECT_EQ(orvane::multiArrayFrom({1}, 1)->shape(), (std::vector<int64_t>{1}));
    EXPECT_THROW(orvane::multiArrayFrom({1}, 0), std::invalid_argument);
    EXPECT_THROW(orvane::multiArrayFrom({int64_t{1} << 40}, 1), std::out_of_range);
}

TEST(MultiArrayOffsets, SumOverTheShorterList) {
    ml::MultiArray array({1, 1, 10}, MultiArrayDataType::Float16);
    EXPECT_EQ(orvane::linearOffset(array, {0, 0, 5}, std::vector<int64_t>{100, 100, 1}), 5);
    EXPECT_EQ(orvane::linearOffset(array, {1, 2, 5, 9}, std::vector<int64_t>{100, 10, 1}), 125);
    EXPECT_EQ(orvane::linearOffset(array, {0, 0, 7}), 7);
    EXPECT_EQ(orvane::linearOffsetForNumbers(array, {0.0, 0.0, 3.9}), 3);
}

TEST(MultiArrayFill, SkipsIndexesOfWrongRankOrOutOfBounds) {
    const int64_t n = 6;
    ml::MultiArray array({1, 1, n}, MultiArrayDataType::Float16);
    const ml::Float16 v = 2.5;
    orvane::fill(array, {{0, 0, 3}, {0, 0, -1}, {0, 0, n}, {0, 3}}, v);
    for (int64_t i = 0; i < n; ++i) {
        EXPECT_EQ(array.value(i), i == 3 ? 2.5 : 0.0) << i;
    }
    orvane::fillNumberIndexes(array, {{0.0, 0.0, 1.0}}, v);
    EXPECT_EQ(array.value(1), 2.5);
    EXPECT_THROW(orvane::fill(array, {{0, 0, 0}}, 1.0f), std::invalid_argument);
}

TEST(MultiArrayFill, LastDimensionRangeAndPreconditions) {
    ml::MultiArray array({1, 1, 8}, MultiArrayDataType::Float16);
    orvane::fillLastDimension(array, 2, 5, ml::Float16(-1.0f));
    EXPECT_EQ(orvane::toFloatArray(array), (std::vector<float>{0, 0, -1, -1, -1, 0, 0, 0}));
    orvane::fillLastDimension(array, 4, 4, ml::Float16(9.0f));
    EXPECT_EQ(array.value(4), -1.0);
    EXPECT_THROW(orvane::fillLastDimension(array, 6, 9, ml::Float16(1.0f)), std::invalid_argument);
    EXPECT_THROW(orvane::fillLastDimension(array, -1, 2, ml::Float16(1.0f)), std::invalid_argument);
    ml::MultiArray wrongShape({2, 1, 8}, MultiArrayDataType::Float16);
    EXPECT_THROW(orvane::fillLastDimension(wrongShape, 0, 1, ml::Float16(1.0f)), std::invalid_argument);
}

TEST(TensorReading, FloatAndIntegerListsByScalarType) {
    auto halves = ml::MultiArray::fromFloats({2}, std::vector<float>{1.5f, -2.0f}, MultiArrayDataType::Float16);
    EXPECT_EQ(orvane::toFloatArray(halves), (std::vector<float>{1.5f, -2.0f}));
    EXPECT_EQ(orvane::toFloatArray(*orvane::multiArrayFrom({-3, 4}, 1)), (std::vector<float>{-3.0f, 4.0f}));
    EXPECT_EQ(*orvane::toMultiArray(halves), halves);
    ml::MultiArray doubles({1}, MultiArrayDataType::Float64);
    try {
        orvane::toFloatArray(doubles);
        FAIL();
    } catch (const std::invalid_argument& error) {
        EXPECT_STREQ(error.what(), "Unsupported scalar type: Float64");
    }
    EXPECT_THROW(orvane::toMultiArray(ml::MultiArray({1}, MultiArrayDataType::Int8)), std::invalid_argument);
    EXPECT_THROW(orvane::toIntArray(halves), std::invalid_argument);
}
