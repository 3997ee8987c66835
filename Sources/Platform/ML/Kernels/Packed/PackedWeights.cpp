#include "Platform/ML/Kernels/Packed/PackedWeights.h"

#include "Platform/ML/Kernels/ThreadPool.h"

#include <cstring>

namespace ml::kernels {

uint16_t floatToBfloat16(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    if ((bits & 0x7FFFFFFF) > 0x7F800000)
        return uint16_t((bits >> 16) | 0x40);
    return uint16_t((bits + 0x7FFF + ((bits >> 16) & 1)) >> 16);
}

PackedWeights PackedWeights::shaped(size_t out, size_t in, Precision wanted, const KernelTable& kernels,
                                    BfloatRoad road) {
    PackedWeights packed;
    packed.in_ = in;
    packed.out_ = out;
    packed.kernels_ = &kernels;
    const bool reduced =
        wanted == Precision::bfloat16 && road != BfloatRoad::none && bfloatRoadAvailable(road);
    packed.precision_ = reduced ? Precision::bfloat16 : Precision::float32;
    packed.road_ = reduced ? road : BfloatRoad::none;
    return packed;
}

PackedWeights PackedWeights::pack(const float* W, size_t out, size_t in, Precision wanted,
                                  const KernelTable& kernels, BfloatRoad road) {
    return pack([&](size_t row, float* values) { std::memcpy(values, W + row * in, in * sizeof(float)); },
                out, in, wanted, kernels, road);
}

PackedWeights PackedWeights::pack(const RowReader& readRow, size_t out, size_t in, Precision wanted,
                                  const KernelTable& kernels, BfloatRoad road) {
    PackedWeights packed = shaped(out, in, wanted, kernels, road);
    ThreadPool& pool = ThreadPool::shared();
    if (packed.precision_ == Precision::float32) {
        const size_t width = kernels.gemmPanelWidth, panels = (out + width - 1) / width;
        packed.data_.assign(panels * in * width, 0);
        pool.parallelFor(panels, [&](size_t p) {
            uint16_t* panel = packed.data_.data() + p * in * width;
            std::vector<float> row(in);
            std::vector<uint16_t> halves(in);
            for (size_t j = 0; j < width && p * width + j < out; ++j) {
                readRow(p * width + j, row.data());
                kernels.floatToHalf(row.data(), halves.data(), in);
                for (size_t k = 0; k < in; ++k)
                    panel[k * width + j] = halves[k];
            }
        });
        return packed;
    }
    packed.storage_ = WeightStorage::bfloat16;
    const size_t width = kBfloatPanelWidth, panels = blocksOf(out, width);
    packed.paddedIn_ = blocksOf(in, kBfloatDepth) * kBfloatDepth;
    packed.data_.assign(panels * packed.paddedIn_ * width, 0);
    pool.parallelFor(panels, [&](size_t p) {
        uint16_t* panel = packed.data_.data() + p * packed.paddedIn_ * width;
        std::vector<float> row(in);
        for (size_t j = 0; j < width && p * width + j < out; ++j) {
            readRow(p * width + j, row.data());
            for (size_t k = 0; k < in; ++k)
                panel[(k / 2) * 2 * width + j * 2 + (k & 1)] = floatToBfloat16(row[k]);
        }
    });
    return packed;
}

PackedWeights PackedWeights::packInt8(const Int8RowReader& readRow, size_t out, size_t in, Precision wanted,
                                      const KernelTable& kernels, BfloatRoad road) {
    PackedWeights packed = shaped(out, in, wanted, kernels, road);
    packed.storage_ = WeightStorage::int8;
    ThreadPool& pool = ThreadPool::shared();
    if (packed.precision_ == Precision::float32) {
        const size_t width = kernels.gemmPanelWidth, panels = blocksOf(out, width);
        packed.bytes_.assign(panels * in * width, 0);
        packed.scales_.assign(panels * width, 0.0f);
        pool.parallelFor(panels, [&](size_t p) {
            int8_t* panel = packed.bytes_.data() + p * in * width;
            std::vector<int8_t> row(in);
            for (size_t j = 0; j < width && p * width + j < out; ++j) {
                packed.scales_[p * width + j] = readRow(p * width + j, row.data());
                for (size_t k = 0; k < in; ++k)
                    panel[k * width + j] = row[k];
            }
        });
        return packed;
    }
    const size_t width = kBfloatPanelWidth, panels = blocksOf(out, width);
    packed.paddedIn_ = blocksOf(in, kBfloatDepth) * kBfloatDepth;
    packed.bytes_.assign(panels * packed.paddedIn_ * width, 0);
    packed.scales_.assign(panels * 2 * width, 0.0f);
    pool.parallelFor(panels, [&](size_t p) {
        int8_t* panel = packed.bytes_.data() + p * packed.paddedIn_ * width;
        std::vector<int8_t> row(in);
        for (size_t j = 0; j < width && p * width + j < out; ++j) {
            const float scale = readRow(p * width + j, row.data());
            packed.scales_[p * 2 * width + 2 * j] = packed.scales_[p * 2 * width + 2 * j + 1] = scale;
            for (size_t k = 0; k < in; ++k)
                panel[(k / 2) * 2 * width + j * 2 + (k & 1)] = row[k];
        }
    });
    return packed;
}

} // namespace ml::kernels
