#pragma once
// Random inputs and naive double-precision references shared by the kernel tests.

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace kerneltest {

inline std::vector<float> randomVector(size_t n, unsigned seed, float scale = 1.0f) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> dist(0.0f, scale);
    std::vector<float> v(n);
    for (auto& x : v)
        x = dist(rng);
    return v;
}

/// Naive row-major product: C[M,N] = op(A) op(B).
inline std::vector<double> naiveGemm(bool ta, bool tb, size_t M, size_t N, size_t K, const float* A,
                                     size_t lda, const float* B, size_t ldb) {
    std::vector<double> C(M * N);
    for (size_t i = 0; i < M; ++i)
        for (size_t j = 0; j < N; ++j) {
            double s = 0;
            for (size_t k = 0; k < K; ++k)
                s += double(ta ? A[k * lda + i] : A[i * lda + k]) *
                     double(tb ? B[j * ldb + k] : B[k * ldb + j]);
            C[i * N + j] = s;
        }
    return C;
}

inline double naiveGelu(double x) {
    return 0.5 * x * (1.0 + std::erf(x / std::sqrt(2.0)));
}

inline void naiveLayerNorm(const float* x, double* y, size_t n, const float* g, const float* b, double eps) {
    double mean = 0, var = 0;
    for (size_t i = 0; i < n; ++i)
        mean += x[i];
    mean /= double(n);
    for (size_t i = 0; i < n; ++i)
        var += (x[i] - mean) * (x[i] - mean);
    var /= double(n);
    for (size_t i = 0; i < n; ++i)
        y[i] = (x[i] - mean) / std::sqrt(var + eps) * g[i] + b[i];
}

inline std::vector<double> naiveSoftmax(const std::vector<double>& x) {
    double m = -INFINITY;
    for (double v : x)
        m = std::max(m, v);
    std::vector<double> y(x.size());
    double s = 0;
    for (size_t i = 0; i < x.size(); ++i)
        s += y[i] = std::exp(x[i] - m);
    for (auto& v : y)
        v /= s;
    return y;
}

} // namespace kerneltest
