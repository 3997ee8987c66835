#include "NaiveTransformer.h"

#include "Platform/ML/Values/Half.h"

namespace naive {

double roundToHalf(double x) {
    return double(float(ml::Float16(float(x))));
}

Matrix linear(const ml::SafeTensorsFile& file, const std::string& prefix, const Matrix& x, size_t rows,
              bool bias) {
    const Matrix w = weight(file, prefix + ".weight");
    const Matrix b = bias ? weight(file, prefix + ".bias") : Matrix();
    const size_t in = x.size() / rows, out = w.size() / in;
    Matrix y(rows * out);
    for (size_t r = 0; r < rows; ++r)
        for (size_t o = 0; o < out; ++o) {
            double s = bias ? b[o] : 0.0;
            for (size_t i = 0; i < in; ++i)
                s += x[r * in + i] * w[o * in + i];
            y[r * out + o] = s;
        }
    return y;
}

Matrix layerNorm(const ml::SafeTensorsFile& file, const std::string& prefix, const Matrix& x, size_t rows) {
    const Matrix g = weight(file, prefix + ".weight"), b = weight(file, prefix + ".bias");
    const size_t n = x.size() / rows;
    Matrix y(x.size());
    for (size_t r = 0; r < rows; ++r) {
        double mean = 0, var = 0;
        for (size_t i = 0; i < n; ++i)
            mean += x[r * n + i];
        mean /= double(n);
        for (size_t i = 0; i < n; ++i)
            var += (x[r * n + i] - mean) * (x[r * n + i] - mean);
        var /= double(n);
        for (size_t i = 0; i < n; ++i)
            y[r * n + i] = (x[r * n + i] - mean) / std::sqrt(var + 1e-5) * g[i] + b[i];
    }
    return y;
}

void addInPlace(Matrix& y, const Matrix& x) {
    for (size_t i = 0; i < y.size(); ++i)
        y[i] += x[i];
}

Matrix attention(const Matrix& q, const Matrix& k, const Matrix& v, size_t queries, size_t keys, size_t width,
                 bool causal, std::vector<double>* probabilities) {
    const size_t heads = width / 64;
    Matrix out(queries * width);
    if (probabilities)
        probabilities->assign(heads * queries * keys, 0.0);
    for (size_t h = 0; h < heads; ++h)
        for (size_t i = 0; i < queries; ++i) {
            const size_t visible = causal ? i + 1 + (keys - queries) : keys;
            std::vector<double> s(visible);
            double m = -INFINITY, total = 0;
            for (size_t j = 0; j < visible; ++j) {
                double d = 0;
                for (size_t c = 0; c < 64; ++c)
                    d += q[i * width + h * 64 + c] * k[j * width + h * 64 + c];
                s[j] = d / 8.0;
                m = std::max(m, s[j]);
            }
            for (double& x : s)
                total += x = std::exp(x - m);
            for (size_t j = 0; j < visible; ++j) {
                s[j] /= total;
                if (probabilities)
                    (*probabilities)[(h * queries + i) * keys + j] = s[j];
                for (size_t c = 0; c < 64; ++c)
                    out[i * width + h * 64 + c] += s[j] * v[j * width + h * 64 + c];
            }
        }
    return out;
}

namespace {

Matrix conv(const ml::SafeTensorsFile& file, const std::string& prefix, const Matrix& x, size_t in,
            size_t length, size_t stride, bool channelMajor) {
    const Matrix w = weight(file, prefix + ".weight"), b = weight(file, prefix + ".bias");
    const size_t out = b.size(), outLength = (length - 1) / stride + 1;
    Matrix y(outLength * out);
    for (size_t t = 0; t < outLength; ++t)
        for (size_t o = 0; o < out; ++o) {
            double s = b[o];
            for (size_t c = 0; c < in; ++c)
                for (size_t tap = 0; tap < 3; ++tap) {
                    const long src = long(t * stride + tap) - 1;
                    if (src >= 0 && src < long(length))
                        s += w[(o * in + c) * 3 + tap] *
                             (channelMajor ? x[c * length + size_t(src)] : x[size_t(src) * in + c]);
                }
            y[t * out + o] = gelu(s);
        }
    return y;
}

// One pre-LayerNorm MLP block added to x.
void mlp(const ml::SafeTensorsFile& file, const std::string& prefix, Matrix& x, size_t rows) {
    Matrix h = linear(file, prefix + ".fc1", layerNorm(file, prefix + ".final_layer_norm", x, rows), rows);
    for (double& value : h)
        value = gelu(value);
    addInPlace(x, linear(file, prefix + ".fc2", h, rows));
}

} // namespace

Matrix encoder(const ml::SafeTensorsFile& file, const Matrix& mel, size_t mels, size_t frames, size_t width,
               size_t layers) {
    Matrix x = conv(file, "encoder.conv1", mel, mels, 2 * frames, 1, true);
    x = conv(file, "encoder.conv2", x, width, 2 * frames, 2, false);
    addInPlace(x, weight(file, "encoder.embed_positions.weight"));
    for (size_t l = 0; l < layers; ++l) {
        const std::string p = "encoder.layers." + std::to_string(l);
        const Matrix h = layerNorm(file, p + ".self_attn_layer_norm", x, frames);
        const Matrix q = linear(file, p + ".self_attn.q_proj", h, frames);
        const Matrix k = linear(file, p + ".self_attn.k_proj", h, frames, false);
        const Matrix v = linear(file, p + ".self_attn.v_proj", h, frames);
        addInPlace(x, linear(file, p + ".self_attn.out_proj",
                             attention(q, k, v, frames, frames, width, false), frames));
        mlp(file, p, x, frames);
    }
    return layerNorm(file, "encoder.layer_norm", x, frames);
}

DecoderResult decoder(const ml::SafeTensorsFile& file, const std::vector<int>& tokens,
                      const Matrix& encoderOutput, size_t frames, size_t width, size_t layers,
                      const std::vector<std::pair<int, int>>& alignmentHeads) {
    const size_t n = tokens.size();
    const Matrix embedding = weight(file, "decoder.embed_tokens.weight");
    const Matrix positions = weight(file, "decoder.embed_positions.weight");
    Matrix x(n * width);
    for (size_t p = 0; p < n; ++p)
        for (size_t c = 0; c < width; ++c)
            x[p * width + c] = embedding[size_t(tokens[p]) * width + c] + positions[p * width + c];
    DecoderResult result;
    result.alignment.assign(frames, 0.0);
    for (size_t l = 0; l < layers; ++l) {
        const std::string p = "decoder.layers." + std::to_string(l);
        Matrix h = layerNorm(file, p + ".self_attn_layer_norm", x, n);
        const Matrix q = linear(file, p + ".self_attn.q_proj", h, n);
        Matrix k = linear(file, p + ".self_attn.k_proj", h, n, false);
        Matrix v = linear(file, p + ".self_attn.v_proj", h, n);
        // Row i attends to earlier rows as stored in the half cache and to its own fresh key and value;
        // only the last row's result is compared, so round every row but the last.
        for (size_t i = 0; i + 1 < n; ++i)
            for (size_t c = 0; c < width; ++c) {
                k[i * width + c] = roundToHalf(k[i * width + c]);
                v[i * width + c] = roundToHalf(v[i * width + c]);
            }
        addInPlace(x, linear(file, p + ".self_attn.out_proj", attention(q, k, v, n, n, width, true), n));
        h = layerNorm(file, p + ".encoder_attn_layer_norm", x, n);
        const Matrix cq = linear(file, p + ".encoder_attn.q_proj", h, n);
        const Matrix ck = linear(file, p + ".encoder_attn.k_proj", encoderOutput, frames, false);
        const Matrix cv = linear(file, p + ".encoder_attn.v_proj", encoderOutput, frames);
        std::vector<double> weights;
        addInPlace(x, linear(file, p + ".encoder_attn.out_proj",
                             attention(cq, ck, cv, n, frames, width, false, &weights), n));
        for (auto [layer, head] : alignmentHeads)
            if (size_t(layer) == l)
                for (size_t f = 0; f < frames; ++f)
                    result.alignment[f] +=
                        weights[(size_t(head) * n + (n - 1)) * frames + f] / double(alignmentHeads.size());
        mlp(file, p, x, n);
    }
    x = layerNorm(file, "decoder.layer_norm", x, n);
    const size_t vocabulary = embedding.size() / width;
    result.logits.assign(vocabulary, 0.0);
    for (size_t t = 0; t < vocabulary; ++t)
        for (size_t c = 0; c < width; ++c)
            result.logits[t] += x[(n - 1) * width + c] * embedding[t * width + c];
    return result;
}

} // namespace naive
