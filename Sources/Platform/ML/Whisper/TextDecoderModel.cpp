#include "Platform/ML/Whisper/TextDecoderModel.h"

#include "Platform/ML/Kernels/Elementwise/Elementwise.h"
#include "Platform/ML/Kernels/Gemm.h"
#include "Platform/ML/Kernels/HalfPrecision/HalfLinear.h"
#include "Platform/ML/Kernels/Int8/Int8Linear.h"
#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Kernels/Packed/PackedLinear.h"
#include "Platform/ML/Kernels/ThreadPool.h"
#include "Platform/ML/Model/PredictionError.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace ml {
namespace {

constexpr int64_t kHeadSize = kAttentionHeadSize;
constexpr float kHiddenMask = -10000.0f; // at or below: the position is not attended and not read

const char* const kInputIds = "input_ids";
const char* const kCacheLength = "cache_length";
const char* const kKeyCache = "key_cache";
const char* const kValueCache = "value_cache";
const char* const kUpdateMask = "kv_cache_update_mask";
const char* const kEncoderOutput = "encoder_output_embeds";
const char* const kPaddingMask = "decoder_key_padding_mask";
const char* const kLogits = "logits";
const char* const kKeyUpdates = "key_cache_updates";
const char* const kValueUpdates = "value_cache_updates";
const char* const kAlignment = "alignment_heads_weights";

std::shared_ptr<MultiArray> requireArray(const FeatureProvider& inputs, const char* name) {
    auto array = inputs.multiArray(name);
    if (!array)
        throw PredictionError(std::string("missing input \"") + name + "\"");
    return array;
}

const uint16_t* requireHalves(const MultiArray& array, const char* name) {
    if (array.dataType() != MultiArrayDataType::Float16)
        throw PredictionError(std::string("input \"") + name + "\" must be Float16");
    return static_cast<const uint16_t*>(array.data());
}

// One step's view of the caller's caches: the visible past positions as runs of consecutive positions
// (`offset` is where a run starts among the visible ones), then the current position t, whose key and
// value come from this step's projection. Hidden positions (mask <= -10000) are never read.
struct Run {
    size_t start, length, offset;
};

struct CacheView {
    const uint16_t* keys;
    const uint16_t* values;
    size_t length;   // S
    size_t position; // t
    std::vector<float> mask;
    std::vector<Run> runs;
    size_t visible = 0;
    bool selfVisible = false;
    size_t attended = 0; // visible + the current position when it is visible
};

// Fills `view` (kept per thread by the caller, so its vectors are not reallocated per token).
void viewCache(const uint16_t* keys, const uint16_t* values, const MultiArray& padding, size_t length,
               size_t position, CacheView& view) {
    view.keys = keys;
    view.values = values;
    view.length = length;
    view.position = position;
    view.mask.resize(length);
    view.runs.clear();
    view.visible = 0;
    for (size_t i = 0; i < length; ++i) {
        view.mask[i] = float(padding.value(int64_t(i)));
        if (i == position || !(view.mask[i] > kHiddenMask))
            continue;
        if (!view.runs.empty() && view.runs.back().start + view.runs.back().length == i)
            ++view.runs.back().length;
        else
            view.runs.push_back({i, 1, view.visible});
        ++view.visible;
    }
    view.selfVisible = view.mask[position] > kHiddenMask;
    view.attended = view.visible + (view.selfVisible ? 1 : 0);
}

// One step's working memory, kept per thread: a token allocates only its outputs.
struct StepScratch {
    CacheView view;
    std::vector<float> x, h, qkv, attention, query, scores;
    std::vector<double> alignment;
    // Cross-attention in parts of the frames: each part's weighted sum of values, its largest score and
    // the sum of its exponentials ([heads, parts]).
    std::vector<float> partSums, partMax, partTotal;
    // Per head, how many of its projections are done (the attention tasks wait for them).
    std::unique_ptr<std::atomic<uint32_t>[]> done;
    size_t doneCapacity = 0;

    std::atomic<uint32_t>* resetDone(size_t heads) {
        if (doneCapacity < heads) {
            done = std::make_unique<std::atomic<uint32_t>[]>(heads);
            doneCapacity = heads;
        }
        for (size_t i = 0; i < heads; ++i)
            done[i].store(0, std::memory_order_relaxed);
        return done.get();
    }
};

// Waits in a task until other tasks of the same job have finished `expected` parts. The pool hands out
// tasks in order and the parts waited for come first, so they are already running on other threads.
void waitForParts(const std::atomic<uint32_t>& finished, uint32_t expected) {
    for (unsigned spins = 0; finished.load(std::memory_order_acquire) < expected; ++spins) {
        if (spins < 4096)
            __builtin_ia32_pause();
        else
            std::this_thread::yield(); // the thread doing that part was descheduled
    }
}

// One head of self-attention: q, freshKey and freshValue point at the head's 64 values, channel0 is the
// head's first channel in the caches, p has room for view.attended scores.
void selfAttentionHead(const kernels::KernelTable& k, const CacheView& view, size_t channel0, const float* q,
                       const float* freshKey, const float* freshValue, float scale, float* p, float* out) {
    std::fill(p, p + view.attended, 0.0f);
    // Channel by channel: each cache channel is contiguous over positions.
    for (size_t i = 0; i < size_t(kHeadSize); ++i) {
        const uint16_t* column = view.keys + (channel0 + i) * view.length;
        for (const Run& run : view.runs)
            k.halfAxpy(q[i], column + run.start, p + run.offset, run.length);
    }
    for (const Run& run : view.runs)
        for (size_t j = 0; j < run.length; ++j)
            p[run.offset + j] = p[run.offset + j] * scale + view.mask[run.start + j];
    if (view.selfVisible) {
        float dot = 0;
        for (size_t i = 0; i < size_t(kHeadSize); ++i)
            dot += q[i] * freshKey[i];
        p[view.visible] = dot * scale + view.mask[view.position];
    }
    k.softmax(p, view.attended);
    for (size_t i = 0; i < size_t(kHeadSize); ++i) {
        const uint16_t* column = view.values + (channel0 + i) * view.length;
        float sum = view.selfVisible ? p[view.visible] * freshValue[i] : 0.0f;
        for (const Run& run : view.runs)
            sum += k.halfDot(column + run.start, p + run.offset, run.length);
        out[i] = sum;
    }
}

// One part of a head's cross-attention: the frames of keys and values ([frames, 64] halves each) against
// the head's query. Leaves exp(score - largest) in p and the weighted sum of values in out (both not yet
// divided by the total); returns the largest score and sets the total.
float crossAttentionPart(const kernels::KernelTable& k, const uint16_t* keys, const uint16_t* values,
                         size_t frames, const float* q, float scale, float* p, float* out, float& total) {
    k.halfGemv(keys, kHeadSize, q, kHeadSize, p, frames);
    k.scale(p, scale, frames);
    const float largest = k.maxIgnoringNaN(p, frames);
    total = k.expShifted(p, frames, largest);
    std::fill(out, out + kHeadSize, 0.0f);
    k.halfWeightedRowSum(values, kHeadSize, p, frames, out, kHeadSize);
    return largest;
}

// y = W x + bias (W's bias may be empty) over the layer's half or 8-bit rows; with `accumulate`, added to y.
void rowLinear(const float* x, const LinearWeights& W, float* y, bool accumulate) {
    const float* bias = W.bias.empty() ? nullptr : W.bias.data();
    if (W.isInt8())
        kernels::int8Linear(x, size_t(W.in), W.bytes(), W.scales.data(), bias, size_t(W.out), y, accumulate);
    else
        kernels::halfLinear(x, size_t(W.in), W.halves(), bias, size_t(W.out), y, accumulate);
}

// A half-weight layer with its matrix stored transposed ([in, out]); in and out keep their meaning.
LinearWeights transposed(LinearWeights layer) {
    MultiArray weight({layer.in, layer.out}, MultiArrayDataType::Float16);
    const uint16_t* from = layer.halves();
    auto* to = static_cast<uint16_t*>(weight.data());
    const size_t in = size_t(layer.in), out = size_t(layer.out);
    for (size_t r = 0; r < out; ++r)
        for (size_t c = 0; c < in; ++c)
            to[c * out + r] = from[r * in + c];
    layer.weight = std::move(weight);
    return layer;
}

// The cache length is what callers plan their token budget on: every position must be embeddable.
void requireCacheFitsPositions(const TextDecoderShape& shape) {
    if (shape.cacheLength > shape.textContext)
        throw std::invalid_argument("kv_cache_length " + std::to_string(shape.cacheLength) + " exceeds the " +
                                    std::to_string(shape.textContext) + " learned positions (n_text_ctx)");
}

} // namespace

TextDecoderModel::TextDecoderModel(const ModelFolder& folder, ComputeUnits units) {
    const ModelParameters& p = folder.parameters();
    shape_.vocabulary = p.integer("n_vocab");
    shape_.width = p.integer("n_text_state");
    shape_.heads = p.integer("n_text_head");
    shape_.layers = p.integer("n_text_layer");
    shape_.textContext = p.integer("n_text_ctx", 448);
    shape_.audioFrames = p.integer("n_audio_ctx", 1500);
    shape_.cacheLength = p.integer("kv_cache_length", 224);
    const int64_t d = shape_.width;
    if (shape_.vocabulary < 1 || shape_.layers < 1 || shape_.textContext < 1 || shape_.audioFrames < 1 ||
        shape_.cacheLength < 1)
        throw std::invalid_argument(
            "text decoder needs positive n_vocab, n_text_layer, n_text_ctx, n_audio_ctx "
            "and kv_cache_length");
    requireCacheFitsPositions(shape_);
    requireAttentionShape(d, shape_.heads);
    if (p.contains("alignment_heads"))
        for (const auto& row : p.integerRows("alignment_heads")) {
            if (row.size() != 2 || row[0] < 0 || row[0] >= shape_.layers || row[1] < 0 ||
                row[1] >= shape_.heads)
                throw std::invalid_argument("alignment_heads must be [layer, head] pairs of existing heads");
            shape_.alignmentHeads.emplace_back(row[0], row[1]);
        }
    const int64_t e = shape_.layers * d, s = shape_.cacheLength, w = shape_.audioFrames;
    folder.requireInput(kInputIds, MultiArrayDataType::Int32, {1});
    folder.requireInput(kCacheLength, MultiArrayDataType::Int32, {1});
    folder.requireInput(kKeyCache, MultiArrayDataType::Float16, {1, e, 1, s});
    folder.requireInput(kValueCache, MultiArrayDataType::Float16, {1, e, 1, s});
    folder.requireInput(kUpdateMask, MultiArrayDataType::Int32, {1, s});
    folder.requireInput(kEncoderOutput, MultiArrayDataType::Float16, {1, d, 1, w});
    folder.requireInput(kPaddingMask, MultiArrayDataType::Float16, {1, s});
    folder.requireOutput(kLogits, MultiArrayDataType::Float16, {1, 1, shape_.vocabulary});
    folder.requireOutput(kKeyUpdates, MultiArrayDataType::Float16, {1, e, 1, 1});
    folder.requireOutput(kValueUpdates, MultiArrayDataType::Float16, {1, e, 1, 1});
    if (!shape_.alignmentHeads.empty())
        folder.requireOutput(kAlignment, MultiArrayDataType::Float16, {1, w});
    else if (folder.description().findOutput(kAlignment))
        // Callers take the declared output as word-timestamp support; without heads no step could give it.
        throw std::invalid_argument(std::string("\"") + kAlignment +
                                    "\" is declared but the model names no \"alignment_heads\"");

    const SafeTensorsFile& file = folder.weights();
    weights_ = recordedWeightType(p);
    const WeightType type = weights_;
    tokenEmbedding_ = readLinear(file, "decoder.embed_tokens", shape_.vocabulary, d, type, false);
    tokenEmbedding_.bias.clear(); // the output projection has none
    positions_ = readFloats(file, "decoder.embed_positions.weight", {shape_.textContext, d});
    file.releaseReadPages(); // every weight is copied: the file's pages need not stay beside the copies
    const kernels::Precision precision = productPrecision(units);
    for (int64_t l = 0; l < shape_.layers; ++l) {
        const std::string prefix = "decoder.layers." + std::to_string(l);
        Layer layer;
        layer.selfNorm = readLayerNorm(file, prefix + ".self_attn_layer_norm", d);
        const LinearWeights q = readLinear(file, prefix + ".self_attn.q_proj", d, d, type);
        const LinearWeights k = readLinear(file, prefix + ".self_attn.k_proj", d, d, type, false);
        const LinearWeights v = readLinear(file, prefix + ".self_attn.v_proj", d, d, type);
        layer.selfQkv = stackLinear({&q, &k, &v});
        layer.selfOut = readLinear(file, prefix + ".self_attn.out_proj", d, d, type);
        layer.crossNorm = readLayerNorm(file, prefix + ".encoder_attn_layer_norm", d);
        layer.crossQuery = readLinear(file, prefix + ".encoder_attn.q_proj", d, d, type);
        layer.crossKey =
            readPackedLinear(file, prefix + ".encoder_attn.k_proj", d, d, precision, type, false);
        layer.crossValue = readPackedLinear(file, prefix + ".encoder_attn.v_proj", d, d, precision, type);
        layer.crossOut = readLinear(file, prefix + ".encoder_attn.out_proj", d, d, type);
        layer.mlpNorm = readLayerNorm(file, prefix + ".final_layer_norm", d);
        layer.fc1 = readLinear(file, prefix + ".fc1", 4 * d, d, type);
        layer.fc2 = readLinear(file, prefix + ".fc2", d, 4 * d, type);
        if (type == WeightType::half)
            layer.fc2 = transposed(std::move(layer.fc2));
        layers_.push_back(std::move(layer));
        file.releaseReadPages();
    }
    finalNorm_ = readLayerNorm(file, "decoder.layer_norm", d);
}

void TextDecoderModel::describe(const TextDecoderShape& shape, ModelWriter& writer) {
    const int64_t d = shape.width, e = shape.layers * d, s = shape.cacheLength, w = shape.audioFrames;
    auto input = [&](const char* name, MultiArrayDataType type, std::vector<int64_t> dims) {
        writer.description().inputs.push_back(FeatureDescription::multiArray(name, type, std::move(dims)));
    };
    auto output = [&](const char* name, std::vector<int64_t> dims) {
        writer.description().outputs.push_back(
            FeatureDescription::multiArray(name, MultiArrayDataType::Float16, std::move(dims)));
    };
    input(kInputIds, MultiArrayDataType::Int32, {1});
    input(kCacheLength, MultiArrayDataType::Int32, {1});
    input(kKeyCache, MultiArrayDataType::Float16, {1, e, 1, s});
    input(kValueCache, MultiArrayDataType::Float16, {1, e, 1, s});
    input(kUpdateMask, MultiArrayDataType::Int32, {1, s});
    input(kEncoderOutput, MultiArrayDataType::Float16, {1, d, 1, w});
    input(kPaddingMask, MultiArrayDataType::Float16, {1, s});
    output(kLogits, {1, 1, shape.vocabulary});
    output(kKeyUpdates, {1, e, 1, 1});
    output(kValueUpdates, {1, e, 1, 1});
    if (!shape.alignmentHeads.empty())
        output(kAlignment, {1, w});
}

void TextDecoderModel::setParameters(const TextDecoderShape& shape, ModelWriter& writer) {
    requireAttentionShape(shape.width, shape.heads);
    requireCacheFitsPositions(shape);
    ModelParameters& p = writer.parameters();
    p.set("n_vocab", shape.vocabulary);
    p.set("n_text_state", shape.width);
    p.set("n_text_head", shape.heads);
    p.set("n_text_layer", shape.layers);
    p.set("n_text_ctx", shape.textContext);
    p.set("n_audio_ctx", shape.audioFrames);
    p.set("kv_cache_length", shape.cacheLength);
    if (!shape.alignmentHeads.empty()) {
        std::vector<std::vector<int64_t>> rows;
        for (auto [layer, head] : shape.alignmentHeads)
            rows.push_back({layer, head});
        p.set("alignment_heads", rows);
    }
}

ModelWriter TextDecoderModel::writer(const TextDecoderShape& shape, uint64_t seed, WeightType weights) {
    const int64_t d = shape.width;
    ModelWriter writer(kKind);
    setParameters(shape, writer);
    recordWeightType(writer.parameters(), weights);
    describe(shape, writer);
    RandomWeightWriter random(writer, seed, weights);
    random.weight("decoder.embed_tokens.weight", {shape.vocabulary, d}, 1.0f);
    random.matrix("decoder.embed_positions.weight", {shape.textContext, d}, 0.5f);
    for (int64_t l = 0; l < shape.layers; ++l) {
        const std::string prefix = "decoder.layers." + std::to_string(l);
        random.layerNorm(prefix + ".self_attn_layer_norm", d);
        random.attention(prefix + ".self_attn", d);
        random.layerNorm(prefix + ".encoder_attn_layer_norm", d);
        random.attention(prefix + ".encoder_attn", d);
        random.layerNorm(prefix + ".final_layer_norm", d);
        random.linear(prefix + ".fc1", 4 * d, d);
        random.linear(prefix + ".fc2", d, 4 * d);
    }
    random.layerNorm("decoder.layer_norm", d);
    return writer;
}

void TextDecoderModel::computeCrossAttention(const MultiArray& encoderOutput,
                                             CrossAttentionCache::Entry& entry) const {
    const size_t d = size_t(shape_.width), w = size_t(shape_.audioFrames);
    std::vector<float> frames(w * d); // [W, D]
    if (encoderOutput.dataType() == MultiArrayDataType::Float16) {
        kernels::transposeFromHalf(static_cast<const uint16_t*>(encoderOutput.data()), w, w, d,
                                   frames.data());
    } else {
        const std::vector<float> channels = encoderOutput.toFloats();
        for (size_t c = 0; c < d; ++c)
            for (size_t t = 0; t < w; ++t)
                frames[t * d + c] = channels[c * w + t];
    }
    std::vector<float> keys(w * d), values(w * d);
    for (const Layer& layer : layers_) {
        kernels::packedLinear(frames.data(), w, layer.crossKey.weight, nullptr, keys.data());
        kernels::packedLinear(frames.data(), w, layer.crossValue.weight, layer.crossValue.bias.data(),
                              values.data());
        entry.keys.emplace_back(std::vector<int64_t>{int64_t(w * d)}, MultiArrayDataType::Float16);
        entry.values.emplace_back(std::vector<int64_t>{int64_t(w * d)}, MultiArrayDataType::Float16);
        auto* keyHalves = static_cast<uint16_t*>(entry.keys.back().data());
        auto* valueHalves = static_cast<uint16_t*>(entry.values.back().data());
        // Head-major [heads, frames, 64]: each head's task then reads one contiguous block.
        const size_t heads = d / kHeadSize;
        kernels::ThreadPool::shared().parallelFor(heads, [&](size_t head) {
            for (size_t f = 0; f < w; ++f) {
                const size_t from = f * d + head * kHeadSize, to = (head * w + f) * kHeadSize;
                kernels::activeKernels().floatToHalf(keys.data() + from, keyHalves + to, kHeadSize);
                kernels::activeKernels().floatToHalf(values.data() + from, valueHalves + to, kHeadSize);
            }
        });
    }
}

void TextDecoderModel::predict(const FeatureProvider& inputs, const PredictionOptions&,
                               DictionaryFeatureProvider& outputs) const {
    using namespace kernels;
    const KernelTable& k = activeKernels();
    ThreadPool& pool = ThreadPool::shared();
    const size_t d = size_t(shape_.width), heads = size_t(shape_.heads), s = size_t(shape_.cacheLength);
    const size_t w = size_t(shape_.audioFrames), e = size_t(shape_.layers) * d;

    const int64_t token = int64_t(requireArray(inputs, kInputIds)->value(0));
    const int64_t position = int64_t(requireArray(inputs, kCacheLength)->value(0));
    if (token < 0 || token >= shape_.vocabulary)
        throw PredictionError("input_ids holds " + std::to_string(token) + ", outside the vocabulary of " +
                              std::to_string(shape_.vocabulary));
    if (position < 0 || position >= shape_.cacheLength || position >= shape_.textContext)
        throw PredictionError("cache_length " + std::to_string(position) + " is outside the cache of " +
                              std::to_string(shape_.cacheLength) + " positions");
    const auto keyArray = requireArray(inputs, kKeyCache), valueArray = requireArray(inputs, kValueCache);
    const auto paddingArray = requireArray(inputs, kPaddingMask);
    const auto encoderOutput = requireArray(inputs, kEncoderOutput);
    const size_t t = size_t(position);
    thread_local StepScratch threadScratch;
    StepScratch& scratch = threadScratch; // the pool's tasks reach this thread's scratch through the reference
    viewCache(requireHalves(*keyArray, kKeyCache), requireHalves(*valueArray, kValueCache), *paddingArray, s, t,
              scratch.view);
    const CacheView& view = scratch.view;

    auto cross =
        crossCache_.get(encoderOutput, [this](const MultiArray& output, CrossAttentionCache::Entry& entry) {
            computeCrossAttention(output, entry);
        });

    auto keyUpdates =
        std::make_shared<MultiArray>(std::vector<int64_t>{1, int64_t(e), 1, 1}, MultiArrayDataType::Float16);
    auto valueUpdates =
        std::make_shared<MultiArray>(std::vector<int64_t>{1, int64_t(e), 1, 1}, MultiArrayDataType::Float16);
    scratch.x.resize(d);
    scratch.h.resize(d);
    scratch.qkv.resize(3 * d);
    scratch.attention.resize(d);
    scratch.query.resize(d);
    scratch.scores.resize(heads * std::max(view.attended, w));
    scratch.alignment.assign(w, 0.0);
    // Parts of the frames per cross-attention head: about four tasks per thread over all heads.
    const size_t parts =
        std::clamp<size_t>(kernels::blocksOf(4 * pool.threadCount(), heads), 1, std::max<size_t>(1, w / 64));
    scratch.partSums.resize(heads * parts * kHeadSize);
    scratch.partMax.resize(heads * parts);
    scratch.partTotal.resize(heads * parts);
    std::vector<float>&partSums = scratch.partSums, &partMax = scratch.partMax,
    &partTotal = scratch.partTotal;
    std::vector<float>&x = scratch.x, &h = scratch.h, &qkv = scratch.qkv, &attention = scratch.attention,
                     &query = scratch.query, &scores = scratch.scores;
    std::vector<double>& alignment = scratch.alignment;
    const float scale = 1.0f / std::sqrt(float(kHeadSize));
    // The head projections' input, quantised once per job for 8-bit weights.
    thread_local QuantizedVector threadQuantized;
    QuantizedVector& hq = threadQuantized;
    const bool int8 = weights_ == WeightType::int8;
    // y[64] = the head's 64 rows of W [., d] times x (h, or hq for 8-bit weights), plus their bias.
    auto projectHead = [&](const LinearWeights& W, size_t firstRow, const float* in, float* out) {
        if (int8)
            k.int8Gemv(W.bytes() + firstRow * d, d, W.scales.data() + firstRow, hq.values.data(), hq.scale, d,
                       out, kHeadSize);
        else
            k.halfGemv(W.halves() + firstRow * d, d, in, d, out, kHeadSize);
        k.add(out, W.bias.data() + firstRow, kHeadSize);
    };
    if (int8) {
        const int8_t* row = tokenEmbedding_.bytes() + size_t(token) * d;
        const float rowScale = tokenEmbedding_.scales[size_t(token)];
        for (size_t i = 0; i < d; ++i)
            x[i] = float(row[i]) * rowScale;
    } else {
        halfToFloat(tokenEmbedding_.halves() + size_t(token) * d, x.data(), d);
    }
    k.add(x.data(), positions_.data() + t * d, d);

    for (size_t l = 0; l < layers_.size(); ++l) {
        const Layer& layer = layers_[l];
        // Self-attention over the caller's cache plus this step's fresh key and value.
        k.layerNorm(x.data(), h.data(), d, layer.selfNorm.gamma.data(), layer.selfNorm.beta.data(), 1e-5f);
        if (int8)
            hq.quantize(h.data(), d);
        // One job: first a task per head and projection (its 64 rows of the stacked query/key/value
        // weights), then a task per head that attends once its three projections are done.
        float* q = qkv.data();
        float* freshKey = qkv.data() + d;
        float* freshValue = qkv.data() + 2 * d;
        std::atomic<uint32_t>* projected = scratch.resetDone(heads);
        pool.parallelFor(4 * heads, [&](size_t task) {
            if (task < 3 * heads) {
                const size_t head = task / 3, part = task % 3, c = head * kHeadSize;
                float* out = qkv.data() + part * d + c;
                projectHead(layer.selfQkv, part * d + c, h.data(), out);
                if (part > 0)
                    k.floatToHalf(out,
                                  static_cast<uint16_t*>((part == 1 ? keyUpdates : valueUpdates)->data()) +
                                      l * d + c,
                                  kHeadSize);
                projected[head].fetch_add(1, std::memory_order_release);
                return;
            }
            const size_t head = task - 3 * heads, c = head * kHeadSize;
            waitForParts(projected[head], 3);
            selfAttentionHead(k, view, l * d + c, q + c, freshKey + c, freshValue + c, scale,
                              scores.data() + head * view.attended, attention.data() + c);
        });
        rowLinear(attention.data(), layer.selfOut, x.data(), true);

        // Cross-attention over the window's encoder output.
        k.layerNorm(x.data(), h.data(), d, layer.crossNorm.gamma.data(), layer.crossNorm.beta.data(), 1e-5f);
        if (int8)
            hq.quantize(h.data(), d);
        const auto* keys = static_cast<const uint16_t*>(cross->keys[l].data());
        const auto* values = static_cast<const uint16_t*>(cross->values[l].data());
        // One job: a task per head for its query, then each head's frames in parts (a soft-max in parts,
        // combined below), so that the tasks are many and even whatever the number of heads.
        std::atomic<uint32_t>* queried = scratch.resetDone(heads);
        pool.parallelFor(heads + heads * parts, [&](size_t task) {
            if (task < heads) {
                projectHead(layer.crossQuery, task * kHeadSize, h.data(), query.data() + task * kHeadSize);
                queried[task].store(1, std::memory_order_release);
                return;
            }
            const size_t head = (task - heads) / parts, part = (task - heads) % parts,
                         slot = head * parts + part;
            size_t f0, f1;
            kernels::partitionRange(w, parts, part, 16, f0, f1);
            waitForParts(queried[head], 1);
            const size_t first = head * w + f0;
            partMax[slot] =
                crossAttentionPart(k, keys + first * kHeadSize, values + first * kHeadSize, f1 - f0,
                                   query.data() + head * kHeadSize, scale, scores.data() + first,
                                   partSums.data() + slot * kHeadSize, partTotal[slot]);
        });
        for (size_t head = 0; head < heads; ++head) {
            const float* largest = partMax.data() + head * parts;
            const float overall = *std::max_element(largest, largest + parts);
            float total = 0;
            for (size_t part = 0; part < parts; ++part)
                total += std::exp(largest[part] - overall) * partTotal[head * parts + part];
            float* out = attention.data() + head * kHeadSize;
            std::fill(out, out + kHeadSize, 0.0f);
            bool aligned = false;
            for (auto [alignLayer, alignHead] : shape_.alignmentHeads)
                aligned = aligned || (size_t(alignLayer) == l && size_t(alignHead) == head);
            for (size_t part = 0; part < parts; ++part) {
                const float factor = std::exp(largest[part] - overall) / total;
                const float* sums = partSums.data() + (head * parts + part) * kHeadSize;
                for (size_t i = 0; i < size_t(kHeadSize); ++i)
                    out[i] += factor * sums[i];
                if (aligned) {
                    size_t f0, f1;
                    kernels::partitionRange(w, parts, part, 16, f0, f1);
                    for (size_t f = f0; f < f1; ++f)
                        alignment[f] += double(scores[head * w + f] * factor);
                }
            }
        }
        rowLinear(attention.data(), layer.crossOut, x.data(), true);

        k.layerNorm(x.data(), h.data(), d, layer.mlpNorm.gamma.data(), layer.mlpNorm.beta.data(), 1e-5f);
        if (int8)
            int8Mlp(h.data(), d, layer.fc1.bytes(), layer.fc1.scales.data(), layer.fc1.bias.data(), 4 * d,
                    layer.fc2.bytes(), layer.fc2.scales.data(), layer.fc2.bias.data(), x.data());
        else
            halfMlp(h.data(), d, layer.fc1.halves(), layer.fc1.bias.data(), 4 * d, layer.fc2.halves(),
                    layer.fc2.bias.data(), x.data());
    }
    k.layerNorm(x.data(), x.data(), d, finalNorm_.gamma.data(), finalNorm_.beta.data(), 1e-5f);

    // Kept per thread: at 200 KB a fresh vector per token is a fresh mapping, page faults and zeroing.
    thread_local std::vector<float> logits;
    logits.resize(size_t(shape_.vocabulary));
    rowLinear(x.data(), tokenEmbedding_, logits.data(), false);
    auto logitsArray = std::make_shared<MultiArray>(std::vector<int64_t>{1, 1, shape_.vocabulary},
                                                    MultiArrayDataType::Float16);
    floatToHalf(logits.data(), static_cast<uint16_t*>(logitsArray->data()), logits.size());
    outputs.set(kLogits, FeatureValue(logitsArray));
    outputs.set(kKeyUpdates, FeatureValue(keyUpdates));
    outputs.set(kValueUpdates, FeatureValue(valueUpdates));
    if (!shape_.alignmentHeads.empty()) {
        std::vector<float> mean(w);
        for (size_t f = 0; f < w; ++f)
            mean[f] = float(alignment[f] / double(shape_.alignmentHeads.size()));
        auto alignmentArray =
            std::make_shared<MultiArray>(std::vector<int64_t>{1, int64_t(w)}, MultiArrayDataType::Float16);
        floatToHalf(mean.data(), static_cast<uint16_t*>(alignmentArray->data()), w);
        outputs.set(kAlignment, FeatureValue(alignmentArray));
    }
}

} // namespace ml
