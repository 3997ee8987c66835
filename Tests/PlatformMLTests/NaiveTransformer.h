#pragma once
// A plain double-precision Whisper encoder and decoder written from the weights file, the reference
// the model kinds are tested against. Matrices are row-major std::vector<double>, [rows, width].

#include "Platform/ML/Files/SafeTensorsFile.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace naive {

using Matrix = std::vector<double>;

inline Matrix weight(const ml::SafeTensorsFile& file, const std::string& name) {
    auto floats = file.array(name, ml::MultiArrayDataType::Float32).toFloats();
    return Matrix(floats.begin(), floats.end());
}

inline double gelu(double x) {
    return 0.5 * x * (1.0 + std::erf(x / std::sqrt(2.0)));
}

/// Rounds through IEEE half precision, as the caches and outputs store values.
double roundToHalf(double x);

/// y[rows, out] = x[rows, in] W[out, in]^T + b (prefix.weight, prefix.bias when present).
Matrix linear(const ml::SafeTensorsFile& file, const std::string& prefix, const Matrix& x, size_t rows,
              bool bias = true);
Matrix layerNorm(const ml::SafeTensorsFile& file, const std::string& prefix, const Matrix& x, size_t rows);
void addInPlace(Matrix& y, const Matrix& x);

/// Softmax attention of each query row over keys [0, visible(i)) per head of 64; `probabilities`, when
/// given, receives [heads, queries, keys] weights.
Matrix attention(const Matrix& q, const Matrix& k, const Matrix& v, size_t queries, size_t keys, size_t width,
                 bool causal, std::vector<double>* probabilities = nullptr);

/// The whole encoder on mel features [mels, 2 * frames]; returns [frames, width].
Matrix encoder(const ml::SafeTensorsFile& file, const Matrix& mel, size_t mels, size_t frames, size_t width,
               size_t layers);

/// The decoder over a whole token sequence (no cache), given the encoder output [frames, width]: the logits
/// of the last position, and the mean cross-attention weights of the alignment heads at that position.
/// Keys and values of earlier positions pass through half precision, as they do in the engine's caches.
struct DecoderResult {
    std::vector<double> logits;
    std::vector<double> alignment;
};
DecoderResult decoder(const ml::SafeTensorsFile& file, const std::vector<int>& tokens,
                      const Matrix& encoderOutput, size_t frames, size_t width, size_t layers,
                      const std::vector<std::pair<int, int>>& alignmentHeads);

} // namespace naive
