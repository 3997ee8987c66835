// The pooled operations (products, attention, convolution, cache update, pool) against naive
// references, at sizes large enough to be split over threads.
#include "KernelTestSupport.h"
#include "Platform/ML/Kernels/Attention/Attention.h"
#include "Platform/ML/Kernels/Conv1d.h"
#include "Platform/ML/Kernels/Elementwise/Elementwise.h"
#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/HalfPrecision/HalfLinear.h"
#include "Platform/ML/Kernels/Attention/KeyValueCache.h"
#include "Platform/ML/Kernels/Packed/AmxGemm.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Kernels/ThreadPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <thread>

using namespace ml::kernels;
using namespace kerneltest;

TEST(KernelGemm, EveryTransposeAndBothSplitDirections) {
    // 200 x 90 splits rows, 40 x 300 splits columns; both over K = 70 with padded leading dimensions.
    for (auto [M, N] : {std::pair<size_t, size_t>{200, 90}, {40, 300}})
        for (bool ta : {false, true})
            for (bool tb : {false, true}) {
                const size_t K = 70, lda = (ta ? M : K) + 5, ldb = (tb ? K : N) + 3, ldc = N + 2;
                auto A = randomVector((ta ? K : M) * lda, 1), B = randomVector((tb ? N : K) * ldb, 2);
                auto C = randomVector(M * ldc, 3), C0 = C;
                gemm(ta, tb, M, N, K, 0.5f, A.data(), lda, B.data(), ldb, 2.0f, C.data(), ldc);
                auto ref = naiveGemm(ta, tb, M, N, K, A.data(), lda, B.data(), ldb);
                for (size_t i = 0; i < M; ++i) {
                    for (size_t j = 0; j < N; ++j)
                        ASSERT_NEAR(C[i * ldc + j], 0.5 * ref[i * N + j] + 2.0 * C0[i * ldc + j], 1e-3)
                            << ta << tb << " " << i << "," << j;
                    for (size_t j = N; j < ldc; ++j) // padding untouched
                        ASSERT_EQ(C[i * ldc + j], C0[i * ldc + j]);
                }
            }
}

TEST(KernelGemm, HalfLinearMatchesWidenedWeights) {
    const size_t in = 96, out = 1001;
    auto Wf = randomVector(out * in, 8, 0.1f), x = randomVector(in, 9), b = randomVector(out, 10);
    std::vector<uint16_t> W(Wf.size());
    floatToHalf(Wf.data(), W.data(), W.size());
    halfToFloat(W.data(), Wf.data(), W.size());
    std::vector<float> y(out, 1.0f), acc(out, 1.0f);
    halfLinear(x.data(), in, W.data(), b.data(), out, y.data());
    halfLinear(x.data(), in, W.data(), b.data(), out, acc.data(), true);
    for (size_t r = 0; r < out; ++r) {
        double s = b[r];
        for (size_t i = 0; i < in; ++i)
            s += double(Wf[r * in + i]) * x[i];
        ASSERT_NEAR(y[r], s, 1e-4);
        ASSERT_NEAR(acc[r], s + 1.0, 1e-4);
    }
}

TEST(KernelGemm, HalfMlpIsBothLayersWithGeluAddedToTheResidual) {
    // Hidden sizes that leave partial slices (and one too small to split).
    for (auto [width, hidden] : {std::pair<size_t, size_t>{96, 1000}, {1280, 5120}, {7, 9}}) {
        auto w1f = randomVector(hidden * width, 30, 0.1f), w2f = randomVector(width * hidden, 31, 0.05f);
        std::vector<uint16_t> w1(w1f.size()), w2(w2f.size());
        floatToHalf(w1f.data(), w1.data(), w1.size());
        halfToFloat(w1.data(), w1f.data(), w1.size());
        floatToHalf(w2f.data(), w2.data(), w2.size());
        halfToFloat(w2.data(), w2f.data(), w2.size());
        auto x = randomVector(width, 32), b1 = randomVector(hidden, 33), b2 = randomVector(width, 34);
        auto y = randomVector(width, 35), residual = y;
        std::vector<uint16_t> w2t(w2.size()); // the second layer is passed transposed
        for (size_t i = 0; i < width; ++i)
            for (size_t j = 0; j < hidden; ++j)
                w2t[j * width + i] = w2[i * hidden + j];
        halfMlp(x.data(), width, w1.data(), b1.data(), hidden, w2t.data(), b2.data(), y.data());
        std::vector<double> activations(hidden);
        for (size_t j = 0; j < hidden; ++j) {
            double s = b1[j];
            for (size_t i = 0; i < width; ++i)
                s += double(w1f[j * width + i]) * x[i];
            activations[j] = naiveGelu(s);
        }
        for (size_t i = 0; i < width; ++i) {
            double s = residual[i] + b2[i];
            for (size_t j = 0; j < hidden; ++j)
                s += double(w2f[i * hidden + j]) * activations[j];
            ASSERT_NEAR(y[i], s, 1e-3) << width << "x" << hidden << " at " << i;
        }
    }
}

namespace {

// Naive multi-head attention over [tokens, heads * 64] matrices.
std::vector<double> naiveAttention(const AttentionArgs& a) {
    std::vector<double> out(a.queries * a.heads * a.headSize);
    const double scale = 1.0 / std::sqrt(double(a.headSize));
    for (size_t h = 0; h < a.heads; ++h)
        for (size_t i = 0; i < a.queries; ++i) {
            std::vector<double> s(a.keys);
            for (size_t j = 0; j < a.keys; ++j) {
                double d = 0;
                for (size_t c = 0; c < a.headSize; ++c)
                    d += double(a.q[i * a.ldq + h * a.headSize + c]) * a.k[j * a.ldk + h * a.headSize + c];
                s[j] = d * scale + (a.keyMask ? a.keyMask[j] : 0.0);
                if (a.causal && j > i + (a.keys - a.queries))
                    s[j] = -INFINITY;
            }
            auto p = naiveSoftmax(s);
            if (*std::max_element(s.begin(), s.end()) == -INFINITY) // nothing to see: a row of zeros
                p.assign(a.keys, 0.0);
            for (size_t c = 0; c < a.headSize; ++c) {
                double v = 0;
                for (size_t j = 0; j < a.keys; ++j)
                    v += p[j] * a.v[j * a.ldv + h * a.headSize + c];
                out[i * a.heads * a.headSize + h * a.headSize + c] = v;
            }
        }
    return out;
}

} // namespace

TEST(KernelAttention, FullCausalAndMaskedVariantsMatchReferenceOnEveryTile) {
    const size_t keys = 157;
    std::vector<float> mask(keys, 0.0f);
    for (size_t j = 0; j < keys; j += 3)
        mask[j] = -10000.0f;
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        const KernelTable* table = kernelsFor(isa);
        if (!table)
            continue;
        // Head size 64 as the models use it, and 40: a partial panel of value channels.
        for (size_t headSize : {64, 40}) {
            const size_t heads = 3, width = heads * headSize, ld = width + 5;
            auto q = randomVector(keys * ld, 11), k = randomVector(keys * ld, 12),
                 v = randomVector(keys * ld, 13);
            for (int variant = 0; variant < 3; ++variant) {
                // 131 queries leave partial tiles and blocks; causal sees fewer queries than keys (a prefix).
                const size_t queries = variant == 1 ? 101 : 131;
                std::vector<float> out(queries * ld, NAN);
                AttentionArgs args{q.data(),   ld, k.data(), ld,   v.data(), ld,
                                   out.data(), ld, queries,  keys, heads,    headSize};
                args.causal = variant == 1;
                args.keyMask = variant == 2 ? mask.data() : nullptr;
                args.kernels = table;
                attention(args);
                args.ldo = width; // the reference's layout
                auto ref = naiveAttention(args);
                for (size_t i = 0; i < queries; ++i) {
                    for (size_t c = 0; c < width; ++c)
                        ASSERT_NEAR(out[i * ld + c], ref[i * width + c], 1e-4)
                            << table->name << " head size " << headSize << " variant " << variant << " at "
                            << i;
                    for (size_t c = width; c < ld; ++c) // padding untouched
                        ASSERT_TRUE(std::isnan(out[i * ld + c]));
                }
            }
        }
    }
}

TEST(KernelAttention, OnlineSoftMaxAcrossKeyBlocksOnEveryKernel) {
    // 700 keys: several blocks of keys and a partial one. Scores grow with the key index, so the running
    // maximum rises from block to block and the partial sums must be rescaled each time. Variants: full,
    // causal, the first block hidden, every key hidden (zeros), and sharply peaked scores.
    const size_t keys = 700, queries = 75, heads = 2;
    std::vector<float> hiddenStart(keys, 0.0f), hiddenAll(keys, -INFINITY);
    for (size_t j = 0; j < keys; ++j)
        if (j < 300 || j % 5 == 0) // every key of the first block, and some after it
            hiddenStart[j] = -INFINITY;
    for (Isa isa : {Isa::generic, Isa::avx2, Isa::avx512}) {
        const KernelTable* table = kernelsFor(isa);
        if (!table) {
            std::printf("[  SKIPPED ] no %s kernels on this processor\n", isa == Isa::avx2 ? "AVX2" : "AVX-512");
            continue;
        }
        for (size_t headSize : {64, 40}) {
            const size_t width = heads * headSize, ld = width + 3;
            auto q = randomVector(queries * ld, 51), k = randomVector(keys * ld, 52), v = randomVector(keys * ld, 53);
            for (float& x : q)
                x *= 3.0f;
            for (size_t j = 0; j < keys; ++j)
                for (size_t c = 0; c < ld; ++c)
                    k[j * ld + c] *= 1.0f + 4.0f * float(j) / float(keys);
            // Peaked: scores hundreds apart, so most weights fall below the float range (or just into it).
            auto peaked = q;
            for (float& x : peaked)
                x *= 40.0f;
            for (int variant = 0; variant < 5; ++variant) {
                std::vector<float> out(queries * ld, NAN);
                AttentionArgs args{variant == 4 ? peaked.data() : q.data(), ld, k.data(), ld, v.data(), ld,
                                   out.data(), ld, queries, keys, heads, headSize};
                args.causal = variant == 1;
                args.keyMask = variant == 2 ? hiddenStart.data() : variant == 3 ? hiddenAll.data() : nullptr;
                args.kernels = table;
                attention(args);
                args.ldo = width;
                auto ref = naiveAttention(args);
                for (size_t i = 0; i < queries; ++i)
                    for (size_t c = 0; c < width; ++c) {
                        // Scores in the hundreds carry float32 rounding of about 1e-4 into the weights.
                        ASSERT_NEAR(out[i * ld + c], ref[i * width + c], variant == 4 ? 1e-3 : 1e-4)
                            << table->name << " head size " << headSize << " variant " << variant << " at " << i;
                        if (variant == 3) {
                            ASSERT_EQ(out[i * ld + c], 0.0f);
                        }
                    }
            }
        }
    }
}

TEST(KernelAttention, BfloatRoadsMatchReferenceWithinTheirPrecision) {
    for (BfloatRoad road : {BfloatRoad::vectors, BfloatRoad::tiles}) {
        if (!bfloatRoadAvailable(road)) {
            std::printf("[   NOTE   ] not tested, this processor does not run it: %s\n",
                        bfloatRoadName(road));
            continue;
        }
        // 157 keys: one partial block of keys; 1100: several, with scores growing from block to block.
        for (size_t keys : {157, 1100}) {
            const size_t heads = 2, width = heads * 64, ld = width + 3;
            auto q = randomVector(keys * ld, 41), k = randomVector(keys * ld, 42),
                 v = randomVector(keys * ld, 43);
            if (keys > 157)
                for (size_t j = 0; j < keys; ++j)
                    for (size_t c = 0; c < ld; ++c)
                        k[j * ld + c] *= 1.0f + 4.0f * float(j) / float(keys);
            std::vector<float> mask(keys, 0.0f);
            for (size_t j = 1; j < keys; j += 4)
                mask[j] = -10000.0f;
            for (int variant = 0; variant < 3; ++variant) {
                // 99 queries: a partial block of rows and a partial row tile; causal over a prefix.
                const size_t queries = variant == 1 ? 70 : 99;
                std::vector<float> out(queries * ld, NAN);
                AttentionArgs args{q.data(),   ld, k.data(), ld,   v.data(), ld,
                                   out.data(), ld, queries,  keys, heads};
                args.causal = variant == 1;
                args.keyMask = variant == 2 ? mask.data() : nullptr;
                args.precision = Precision::bfloat16;
                args.road = road;
                attention(args);
                args.ldo = width;
                auto ref = naiveAttention(args);
                for (size_t i = 0; i < queries; ++i) {
                    for (size_t c = 0; c < width; ++c)
                        ASSERT_NEAR(out[i * ld + c], ref[i * width + c], 3e-2)
                            << bfloatRoadName(road) << ", " << keys << " keys, variant " << variant << " at "
                            << i;
                    for (size_t c = width; c < ld; ++c)
                        ASSERT_TRUE(std::isnan(out[i * ld + c]));
                }
            }
        }
    }
}

TEST(KernelAttention, BfloatRequestsForHeadSizesOffThirtyTwoRunInFloat) {
    // 40 channels a head: no bfloat16 road takes it, so every road gives the float32 result exactly.
    const size_t tokens = 45, heads = 2, headSize = 40, width = heads * headSize;
    const auto q = randomVector(tokens * width, 71), k = randomVector(tokens * width, 72),
               v = randomVector(tokens * width, 73);
    std::vector<float> exact(tokens * width), reduced(tokens * width);
    AttentionArgs args{q.data(),     width, k.data(), width,  v.data(), width,
                       exact.data(), width, tokens,   tokens, heads,    headSize};
    attention(args);
    args.out = reduced.data();
    args.precision = Precision::bfloat16;
    for (BfloatRoad road : {BfloatRoad::none, BfloatRoad::vectors, BfloatRoad::tiles}) {
        args.road = road;
        std::fill(reduced.begin(), reduced.end(), NAN);
        attention(args);
        EXPECT_EQ(reduced, exact) << bfloatRoadName(road);
    }
}

TEST(KernelConv1d, StrideOneAndTwoInBothLayouts) {
    const size_t cin = 5, cout = 7, length = 37;
    auto x = randomVector(cin * length, 14), w = randomVector(cout * cin * 3, 15), b = randomVector(cout, 16);
    std::vector<uint16_t> halves(w.size()); // the packed weights are halves
    floatToHalf(w.data(), halves.data(), w.size());
    halfToFloat(halves.data(), w.data(), w.size());
    const auto packed = PackedWeights::pack(w.data(), cout, cin * 3, Precision::float32);
    for (size_t stride : {1, 2})
        for (bool channelMajor : {true, false}) {
            std::vector<float> input(cin * length);
            for (size_t c = 0; c < cin; ++c)
                for (size_t t = 0; t < length; ++t)
                    input[channelMajor ? c * length + t : t * cin + c] = x[c * length + t];
            Conv1dArgs args{input.data(),
                            channelMajor ? length : 1,
                            channelMajor ? 1 : cin,
                            cin,
                            length,
                            &packed,
                            b.data(),
                            stride,
                            stride == 2};
            const size_t outLength = conv1dOutputLength(length, stride);
            ASSERT_EQ(outLength, stride == 1 ? 37u : 19u);
            std::vector<float> out(outLength * cout);
            conv1d(args, out.data());
            for (size_t t = 0; t < outLength; ++t)
                for (size_t o = 0; o < cout; ++o) {
                    double s = b[o];
                    for (size_t c = 0; c < cin; ++c)
                        for (size_t tap = 0; tap < 3; ++tap) {
                            long src = long(t * stride + tap) - 1;
                            if (src >= 0 && src < long(length))
                                s += double(w[(o * cin + c) * 3 + tap]) * x[c * length + size_t(src)];
                        }
                    ASSERT_NEAR(out[t * cout + o], stride == 2 ? naiveGelu(s) : s, 1e-4)
                        << stride << channelMajor;
                }
        }
}

TEST(KernelKeyValueCache, WritesOnlyTheInsertedPositions) {
    const size_t E = 9, S = 12;
    std::vector<uint16_t> keys(E * S), values(E * S);
    for (size_t i = 0; i < keys.size(); ++i) {
        keys[i] = uint16_t(i);
        values[i] = uint16_t(1000 + i);
    }
    // A [1, E, 1, 2] update with padded strides (channel stride 3, position stride 1).
    std::vector<uint16_t> keyUpdate(E * 3), valueUpdate(E * 3);
    for (size_t c = 0; c < E; ++c)
        for (size_t j = 0; j < 2; ++j) {
            keyUpdate[c * 3 + j] = uint16_t(50000 + c * 10 + j);
            valueUpdate[c * 3 + j] = uint16_t(60000 + c * 10 + j);
        }
    updateKeyValueCache({keys.data(), S, 1}, {values.data(), S, 1}, keyUpdate.data(), valueUpdate.data(), 3,
                        1, E, 2, 5);
    for (size_t c = 0; c < E; ++c)
        for (size_t s = 0; s < S; ++s) {
            const bool written = s == 5 || s == 6;
            EXPECT_EQ(keys[c * S + s], written ? 50000 + c * 10 + (s - 5) : c * S + s);
            EXPECT_EQ(values[c * S + s], written ? 60000 + c * 10 + (s - 5) : 1000 + c * S + s);
        }
}

TEST(KernelThreadPool, RunsEveryIndexOnceNestsAndRethrows) {
    ThreadPool pool(4);
    std::vector<std::atomic<int>> hits(1000);
    pool.parallelFor(hits.size(), [&](size_t i) {
        hits[i]++;
        pool.parallelFor(3, [&](size_t) {}); // nested: runs inline, must not deadlock
    });
    for (auto& h : hits)
        ASSERT_EQ(h.load(), 1);
    EXPECT_THROW(pool.parallelFor(100,
                                  [&](size_t i) {
                                      if (i == 42)
                                          throw std::runtime_error("boom");
                                  }),
                 std::runtime_error);
    // Several callers at once take turns and each sees its own job complete.
    std::atomic<long> total{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < 4; ++c)
        callers.emplace_back([&] {
            for (int round = 0; round < 50; ++round)
                pool.parallelFor(64, [&](size_t i) { total += long(i); });
        });
    for (auto& t : callers)
        t.join();
    EXPECT_EQ(total.load(), 4L * 50 * (63 * 64 / 2));
}

TEST(KernelThreadPool, WakesSleepingThreadsAndHandsTasksOutInOrder) {
    // A caller whose last task stays out of its hands for longer than it polls sleeps, and must be woken
    // when that task ends. The caller's own tasks wait until a worker holds the one that blocks, so the
    // caller cannot take it; the job runs on a thread of its own, so a caller never woken fails the test
    // instead of hanging it (its pool is then left behind, and the rest, which would hang, is skipped).
    {
        struct Shared {
            std::atomic<bool> held{false}, release{false};
            std::promise<void> done;
        };
        auto shared = std::make_shared<Shared>();
        auto sleepy = std::make_unique<ThreadPool>(4);
        std::future<void> done = shared->done.get_future();
        std::thread caller([shared, pool = sleepy.get()] {
            const auto callerId = std::this_thread::get_id();
            pool->parallelFor(2, [&](size_t) {
                if (std::this_thread::get_id() == callerId)
                    while (!shared->held.load() && !shared->release.load())
                        std::this_thread::yield();
                else if (!shared->held.exchange(true))
                    while (!shared->release.load())
                        std::this_thread::yield();
            });
            shared->done.set_value();
        });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!shared->held.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        EXPECT_TRUE(shared->held.load()) << "no worker took a task";
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the caller polls for 0.2 ms
        shared->release = true;
        if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) {
            caller.join();
        } else {
            caller.detach();
            static_cast<void>(sleepy.release());
            FAIL() << "the sleeping caller was not woken when its last task ended";
        }
    }
    ThreadPool pool(4);
    for (int round = 0; round < 3; ++round) {
        // Longer than the threads poll: they go to sleep and must be woken.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::vector<std::atomic<int>> hits(9);
        pool.parallelFor(hits.size(), [&](size_t i) {
            if (i == 8)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            hits[i]++;
        });
        for (auto& h : hits)
            ASSERT_EQ(h.load(), 1) << "round " << round;
    }
    // A task may wait for one handed out before it (the decoder's attention waits for its projections).
    std::vector<std::atomic<bool>> done(64);
    pool.parallelFor(done.size(), [&](size_t i) {
        if (i > 0)
            while (!done[i - 1].load())
                std::this_thread::yield();
        done[i] = true;
    });
    EXPECT_TRUE(done.back().load());
}

TEST(KernelGemm, LargeAndSmallProductsFromTwoThreadsAtOnce) {
    // An encoder window and a mel spectrogram at once: one thread's large packed products and another's
    // small OpenBLAS ones (kept single-threaded) share the pool.
    const size_t rows = 520, in = 512, out = 260;
    auto x = randomVector(rows * in, 20), W = randomVector(out * in, 21, 0.1f), b = randomVector(out, 22);
    std::vector<uint16_t> halves(W.size()); // packed weights are halves
    floatToHalf(W.data(), halves.data(), W.size());
    halfToFloat(halves.data(), W.data(), W.size());
    const auto packed = PackedWeights::pack(W.data(), out, in, Precision::float32);
    auto ref = naiveGemm(false, true, rows, out, in, x.data(), in, W.data(), in);
    std::atomic<bool> done{false};
    std::atomic<int> smallErrors{0};
    std::thread beside([&] {
        auto A = randomVector(40 * 30, 23), B = randomVector(30 * 50, 24);
        auto smallRef = naiveGemm(false, false, 40, 50, 30, A.data(), 30, B.data(), 50);
        while (!done) {
            std::vector<float> C(40 * 50);
            gemm(false, false, 40, 50, 30, 1.0f, A.data(), 30, B.data(), 50, 0.0f, C.data(), 50);
            for (size_t i = 0; i < C.size(); ++i)
                if (std::abs(C[i] - smallRef[i]) > 1e-3)
                    ++smallErrors;
        }
    });
    for (int round = 0; round < 3; ++round) {
        std::vector<float> y(rows * out);
        packedLinear(x.data(), rows, packed, b.data(), y.data(), false, Epilogue::gelu);
        for (size_t i = 0; i < y.size(); ++i)
            ASSERT_NEAR(y[i], naiveGelu(ref[i] + b[i % out]), 1e-3);
        auto acc = randomVector(rows * out, 25), start = acc;
        packedLinear(x.data(), rows, packed, b.data(), acc.data(), true);
        for (size_t i = 0; i < acc.size(); ++i)
            ASSERT_NEAR(acc[i], start[i] + ref[i] + b[i % out], 1e-3);
    }
    done = true;
    beside.join();
    EXPECT_EQ(smallErrors.load(), 0);
}
