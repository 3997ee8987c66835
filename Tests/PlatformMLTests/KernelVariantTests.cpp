// Every kernel variant this processor can run, against naive double-precision references.
#include "KernelTestSupport.h"
#include "Platform/ML/Kernels/KernelTable.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

using namespace ml::kernels;
using namespace kerneltest;

namespace {

std::vector<const KernelTable*> runnableTables() {
    std::vector<const KernelTable*> tables;
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512, Isa::avx512vnni})
        if (const KernelTable* t = kernelsFor(isa))
            tables.push_back(t);
    return tables;
}

// Sizes that leave tails after 8- and 16-lane bodies.
const size_t kSizes[] = {1, 7, 16, 33, 384, 1283};

} // namespace

TEST(KernelVariants, DispatchPicksTheBestRunnableVariant) {
    const KernelTable& best = activeKernels();
    EXPECT_EQ(&best, runnableTables().back());
    ASSERT_NE(kernelsFor(Isa::generic), nullptr);
}

TEST(KernelVariants, LayerNormMatchesReferenceIncludingLargeOffsets) {
    for (const KernelTable* t : runnableTables())
        for (size_t n : kSizes) {
            auto x = randomVector(n, 1);
            for (auto& v : x)
                v += 1000.0f; // a large mean must not swamp the variance
            auto g = randomVector(n, 2), b = randomVector(n, 3);
            std::vector<double> expected(n);
            naiveLayerNorm(x.data(), expected.data(), n, g.data(), b.data(), 1e-5);
            std::vector<float> y(n);
            t->layerNorm(x.data(), y.data(), n, g.data(), b.data(), 1e-5f);
            for (size_t i = 0; i < n; ++i)
                ASSERT_NEAR(y[i], expected[i], 2e-3 * (1 + std::abs(expected[i]))) << t->name << " n=" << n;
            t->layerNorm(x.data(), x.data(), n, g.data(), b.data(), 1e-5f); // in place
            for (size_t i = 0; i < n; ++i)
                ASSERT_FLOAT_EQ(x[i], y[i]) << t->name;
        }
}

TEST(KernelVariants, GeluIsTheExactErfForm) {
    for (const KernelTable* t : runnableTables()) {
        std::vector<float> x;
        for (float v = -10.0f; v <= 10.0f; v += 0.013f)
            x.push_back(v);
        auto y = x;
        t->gelu(y.data(), y.size());
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(y[i], naiveGelu(x[i]), 2e-6 * (1 + std::abs(x[i]))) << t->name << " x=" << x[i];
        // The tanh approximation differs by ~1e-3 near |x| = 2; make sure that is not what we compute.
        float probe = -2.0f;
        t->gelu(&probe, 1);
        EXPECT_NEAR(probe, naiveGelu(-2.0), 1e-6);
    }
}

TEST(KernelVariants, SoftmaxHandlesMaskedAndHugeScores) {
    for (const KernelTable* t : runnableTables())
        for (size_t n : kSizes) {
            auto x = randomVector(n, 4, 30.0f);
            if (n > 2)
                x[1] = -INFINITY;
            x[0] = 1e30f; // would overflow without the max shift
            std::vector<double> xd(x.begin(), x.end());
            auto expected = naiveSoftmax(xd);
            auto y = x, l = x;
            t->softmax(y.data(), n);
            t->logSoftmax(l.data(), n);
            for (size_t i = 0; i < n; ++i) {
                ASSERT_NEAR(y[i], expected[i], 1e-6) << t->name;
                if (expected[i] == 0.0) {
                    ASSERT_TRUE(y[i] == 0.0f) << t->name; // masked entries contribute exactly nothing
                }
                if (std::isinf(xd[i]))
                    ASSERT_EQ(l[i], -INFINITY);
                else
                    ASSERT_NEAR(l[i], xd[i] - xd[0], i == 0 ? 1e-6 : 1e24) << t->name;
            }
        }
}

TEST(KernelVariants, Avx512VariantsAreAmongThoseTestedWherePresent) {
    if (!kernelsFor(Isa::avx512))
        GTEST_SKIP() << "this processor has no AVX-512: only the generic and AVX2 variants are tested";
    const auto tables = runnableTables();
    EXPECT_NE(std::find(tables.begin(), tables.end(), kernelsFor(Isa::avx512)), tables.end());
}

TEST(KernelVariants, ExpShiftedLeavesTheShiftedExponentialsAndReturnsTheirSum) {
    for (const KernelTable* t : runnableTables())
        for (size_t n : kSizes) {
            auto x = randomVector(n, 12, 20.0f);
            if (n > 2)
                x[2] = -INFINITY; // contributes nothing
            const float shift = *std::max_element(x.begin(), x.end());
            auto y = x;
            const float total = t->expShifted(y.data(), n, shift);
            double expected = 0;
            for (size_t i = 0; i < n; ++i) {
                const double e = std::exp(double(x[i]) - shift);
                expected += e;
                ASSERT_NEAR(y[i], e, 1e-6 * (1 + e)) << t->name << " n=" << n;
            }
            ASSERT_NEAR(total, expected, 1e-5 * expected) << t->name << " n=" << n;
        }
}

TEST(KernelVariants, LogSoftmaxMatchesReferenceOnOrdinaryScores) {
    for (const KernelTable* t : runnableTables()) {
        auto x = randomVector(1283, 5, 4.0f);
        std::vector<double> xd(x.begin(), x.end());
        auto p = naiveSoftmax(xd);
        t->logSoftmax(x.data(), x.size());
        for (size_t i = 0; i < x.size(); ++i)
            ASSERT_NEAR(x[i], std::log(p[i]), 1e-4) << t->name;
    }
}

TEST(KernelVariants, AllMaskedRowsGiveZerosNotNaN) {
    for (const KernelTable* t : runnableTables()) {
        std::vector<float> x(37, -INFINITY), l = x;
        t->softmax(x.data(), x.size());
        t->logSoftmax(l.data(), l.size());
        for (size_t i = 0; i < x.size(); ++i) {
            EXPECT_EQ(x[i], 0.0f) << t->name;
            EXPECT_EQ(l[i], -INFINITY) << t->name;
        }
    }
}

TEST(KernelVariants, HalfConversionAgreesWithGenericOnEveryBitPattern) {
    const KernelTable* generic = kernelsFor(Isa::generic);
    std::vector<uint16_t> all(65536);
    for (size_t i = 0; i < all.size(); ++i)
        all[i] = uint16_t(i);
    std::vector<float> reference(all.size());
    generic->halfToFloat(all.data(), reference.data(), all.size());
    EXPECT_EQ(reference[0x3C00], 1.0f);
    EXPECT_EQ(reference[0xF0E2], -10000.0f);
    EXPECT_EQ(reference[0x0001], std::ldexp(1.0f, -24)); // smallest subnormal
    EXPECT_EQ(reference[0x7C00], INFINITY);
    for (const KernelTable* t : runnableTables()) {
        std::vector<float> f(all.size());
        t->halfToFloat(all.data(), f.data(), all.size());
        std::vector<uint16_t> back(all.size());
        t->floatToHalf(f.data(), back.data(), all.size());
        for (size_t i = 0; i < all.size(); ++i) {
            if (std::isnan(reference[i])) {
                ASSERT_TRUE(std::isnan(f[i])) << t->name;
                continue;
            }
            ASSERT_EQ(std::memcmp(&f[i], &reference[i], 4), 0) << t->name << " bits " << i;
            ASSERT_EQ(back[i], all[i]) << t->name << " bits " << i;
        }
    }
}

TEST(KernelVariants, FloatToHalfRoundsToNearestEven) {
    const float cases[] = {1.0f + std::ldexp(1.0f, -11),     // tie: stays at 1.0 (even)
                           1.0f + 3 * std::ldexp(1.0f, -11), // tie: rounds up to even
                           65519.0f,                         // largest that rounds to 65504
                           65520.0f,                         // rounds to infinity
                           std::ldexp(1.0f, -25),            // tie with 0: rounds to 0
                           std::ldexp(1.5f, -25),            // above the tie: smallest subnormal
                           -std::ldexp(3.0f, -24),           // subnormal exactly
                           1e-10f};
    const uint16_t expected[] = {0x3C00, 0x3C02, 0x7BFF, 0x7C00, 0x0000, 0x0001, 0x8003, 0x0000};
    for (const KernelTable* t : runnableTables()) {
        // Repeat each case to fill whole vectors, so the vector path is exercised, not only the tail.
        for (size_t c = 0; c < std::size(cases); ++c) {
            std::vector<float> in(35, cases[c]);
            std::vector<uint16_t> out(in.size());
            t->floatToHalf(in.data(), out.data(), in.size());
            for (uint16_t h : out)
                ASSERT_EQ(h, expected[c]) << t->name << " case " << c;
        }
    }
}

TEST(KernelVariants, HalfGemvDotAxpyAndWeightedRowSumMatchReference) {
    for (const KernelTable* t : runnableTables())
        for (size_t in : kSizes) {
            const size_t rows = 11, ldw = in + 3;
            auto wf = randomVector(rows * ldw, 6);
            std::vector<uint16_t> w(wf.size());
            kernelsFor(Isa::generic)->floatToHalf(wf.data(), w.data(), w.size());
            kernelsFor(Isa::generic)->halfToFloat(w.data(), wf.data(), w.size()); // exact halves
            auto x = randomVector(in, 7);
            std::vector<float> y(rows);
            t->halfGemv(w.data(), ldw, x.data(), in, y.data(), rows);
            for (size_t r = 0; r < rows; ++r) {
                double s = 0;
                for (size_t i = 0; i < in; ++i)
                    s += double(wf[r * ldw + i]) * x[i];
                ASSERT_NEAR(y[r], s, 1e-4 * (1 + std::sqrt(double(in)))) << t->name << " in=" << in;
                ASSERT_NEAR(t->halfDot(w.data() + r * ldw, x.data(), in), s,
                            1e-4 * (1 + std::sqrt(double(in))));
            }
            // The weighted sum of the rows, narrow (sums in registers) and wide (row by row), over widths
            // that leave tails and a row count that leaves a partial group.
            for (size_t width : {std::min<size_t>(in, 70), in}) {
                auto weights = randomVector(rows, 9);
                auto sum = randomVector(width, 10), start = sum;
                t->halfWeightedRowSum(w.data(), ldw, weights.data(), rows, sum.data(), width);
                for (size_t i = 0; i < width; ++i) {
                    double s = start[i];
                    for (size_t r = 0; r < rows; ++r)
                        s += double(weights[r]) * wf[r * ldw + i];
                    ASSERT_NEAR(sum[i], s, 1e-4 * (1 + std::sqrt(double(rows))))
                        << t->name << " width=" << width;
                }
            }
            auto acc = randomVector(in, 8), expected = acc;
            t->halfAxpy(0.5f, w.data(), acc.data(), in);
            for (size_t i = 0; i < in; ++i)
                ASSERT_NEAR(acc[i], expected[i] + 0.5 * wf[i], 1e-5) << t->name;
        }
}

TEST(KernelVariants, SearchesSkipNaNAndFindTheFirstQualifyingEntry) {
    for (const KernelTable* t : runnableTables())
        for (size_t n : kSizes) {
            auto x = randomVector(n, 6);
            // NaN where the maximum would otherwise be, and in a vector body and a tail.
            for (size_t i = n / 3; i < n; i += 5)
                x[i] = NAN;
            float expectedMax = -INFINITY;
            bool expectedNaN = false;
            for (float v : x) {
                expectedNaN |= std::isnan(v);
                if (v > expectedMax)
                    expectedMax = v;
            }
            EXPECT_EQ(t->maxIgnoringNaN(x.data(), n), expectedMax) << t->name << " n=" << n;
            EXPECT_EQ(t->anyNaN(x.data(), n), expectedNaN) << t->name << " n=" << n;
            for (float threshold : {-1.0f, 0.0f, 0.5f, expectedMax}) {
                size_t above = n, atLeast = n;
                for (size_t i = n; i-- > 0;) {
                    if (x[i] > threshold)
                        above = i;
                    if (x[i] >= threshold)
                        atLeast = i;
                }
                EXPECT_EQ(t->firstAbove(x.data(), n, threshold), above) << t->name << " n=" << n;
                EXPECT_EQ(t->firstAtLeast(x.data(), n, threshold), atLeast) << t->name << " n=" << n;
            }
        }
    for (const KernelTable* t : runnableTables()) {
        std::vector<float> none(40, NAN);
        EXPECT_EQ(t->maxIgnoringNaN(none.data(), none.size()), -INFINITY) << t->name;
        EXPECT_EQ(t->firstAtLeast(none.data(), none.size(), -INFINITY), none.size()) << t->name;
        EXPECT_FALSE(t->anyNaN(none.data(), 0)) << t->name;
    }
}
