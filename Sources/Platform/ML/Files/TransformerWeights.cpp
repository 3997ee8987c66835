#include "Platform/ML/Files/TransformerWeights.h"

#include "Platform/ML/Kernels/KernelTable.h"
#include "Platform/ML/Model/ModelLoadError.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace ml {

void requireAttentionShape(int64_t width, int64_t heads) {
    if (heads < 1 || width != heads * kAttentionHeadSize)
        throw std::invalid_argument("attention needs a width of 64 per head, got width " +
                                    std::to_string(width) + " with " + std::to_string(heads) + " heads");
}

std::vector<float> readFloats(const SafeTensorsFile& file, const std::string& name,
                              const std::vector<int64_t>& shape) {
    return file.array(name, shape, MultiArrayDataType::Float32).toFloats();
}

LayerNormWeights readLayerNorm(const SafeTensorsFile& file, const std::string& prefix, int64_t width) {
    return {readFloats(file, prefix + ".weight", {width}), readFloats(file, prefix + ".bias", {width})};
}

LinearWeights readLinear(const SafeTensorsFile& file, const std::string& prefix, int64_t out, int64_t in,
                         MultiArrayDataType type, bool hasBias) {
    LinearWeights linear;
    linear.in = in;
    linear.out = out;
    linear.weight = file.array(prefix + ".weight", {out, in}, type);
    linear.bias = hasBias ? readFloats(file, prefix + ".bias", {out}) : std::vector<float>(size_t(out), 0.0f);
    return linear;
}

namespace {

// The mapped 8-bit tensor, and its scales read.
const SafeTensor& int8Tensor(const SafeTensorsFile& file, const std::string& name,
                             const std::vector<int64_t>& shape, std::vector<float>& scales) {
    const SafeTensor& tensor = file.tensor(name, shape);
    if (tensor.dtype != "I8")
        throw ModelLoadError(file.path(), "tensor \"" + name + "\" is " + tensor.dtype +
                                              ", but the model's weight type is int8");
    scales = readFloats(file, weightScaleName(name), {shape.front()});
    return tensor;
}

// Half weights are floating-point tensors: reading 8-bit integers as values would be silently wrong.
void requireFloatingPoint(const SafeTensorsFile& file, const std::string& name) {
    if (file.tensor(name).dtype == "I8")
        throw ModelLoadError(file.path(),
                             "tensor \"" + name + "\" is I8, but the model's weight type is half");
}

} // namespace

MultiArray readInt8(const SafeTensorsFile& file, const std::string& name, const std::vector<int64_t>& shape,
                    std::vector<float>& scales) {
    int8Tensor(file, name, shape, scales);
    return file.array(name, MultiArrayDataType::Int8);
}

LinearWeights readLinear(const SafeTensorsFile& file, const std::string& prefix, int64_t out, int64_t in,
                         WeightType weights, bool hasBias) {
    if (weights == WeightType::half) {
        requireFloatingPoint(file, prefix + ".weight");
        return readLinear(file, prefix, out, in, MultiArrayDataType::Float16, hasBias);
    }
    LinearWeights linear;
    linear.in = in;
    linear.out = out;
    linear.weight = readInt8(file, prefix + ".weight", {out, in}, linear.scales);
    linear.bias = hasBias ? readFloats(file, prefix + ".bias", {out}) : std::vector<float>(size_t(out), 0.0f);
    return linear;
}

void addWeight(ModelWriter& writer, const std::string& name, const MultiArray& values, WeightType weights) {
    if (weights == WeightType::half) {
        writer.addTensor(name, values);
        return;
    }
    const MultiArray floats = values.converted(MultiArrayDataType::Float32);
    const int64_t rows = floats.shape().front(), in = rows == 0 ? 0 : floats.count() / rows;
    MultiArray bytes(floats.shape(), MultiArrayDataType::Int8);
    MultiArray scales({rows}, MultiArrayDataType::Float32);
    const auto* from = static_cast<const float*>(floats.data());
    auto* to = static_cast<int8_t*>(bytes.data());
    auto* scale = static_cast<float*>(scales.data());
    for (int64_t r = 0; r < rows; ++r) {
        try {
            scale[r] = quantizeRow(from + r * in, size_t(in), to + r * in);
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("tensor " + name + ", row " + std::to_string(r) + ": " +
                                        error.what());
        }
    }
    writer.addTensor(name, std::move(bytes));
    writer.addTensor(weightScaleName(name), std::move(scales));
}

LinearWeights stackLinear(const std::vector<const LinearWeights*>& parts) {
    LinearWeights stacked;
    stacked.in = parts.front()->in;
    for (const LinearWeights* part : parts)
        stacked.out += part->out;
    stacked.weight = MultiArray({stacked.out, stacked.in}, parts.front()->weight.dataType());
    auto* destination = static_cast<std::byte*>(stacked.weight.data());
    for (const LinearWeights* part : parts) {
        std::memcpy(destination, part->weight.data(), part->weight.byteCount());
        destination += part->weight.byteCount();
        stacked.scales.insert(stacked.scales.end(), part->scales.begin(), part->scales.end());
        stacked.bias.insert(stacked.bias.end(), part->bias.begin(), part->bias.end());
    }
    return stacked;
}

kernels::Precision productPrecision(ComputeUnits units) {
    switch (units) {
    case ComputeUnits::cpuAndGPU:
    case ComputeUnits::all:
    case ComputeUnits::cpuAndNeuralEngine:
        return kernels::Precision::bfloat16;
    case ComputeUnits::cpuOnly:
        break;
    }
    return kernels::Precision::float32;
}

kernels::PackedWeights readPacked(const SafeTensorsFile& file, const std::vector<std::string>& names,
                                  const std::vector<int64_t>& shape, kernels::Precision precision,
                                  WeightType weights) {
    size_t in = 1;
    for (size_t i = 1; i < shape.size(); ++i)
        in *= size_t(shape[i]);
    const size_t rows = size_t(shape.front());
    if (weights == WeightType::int8) {
        struct Source {
            const int8_t* values;
            std::vector<float> scales;
        };
        std::vector<Source> sources;
        for (const std::string& name : names) {
            Source source;
            const SafeTensor& tensor = int8Tensor(file, name, shape, source.scales);
            source.values = reinterpret_cast<const int8_t*>(tensor.data);
            sources.push_back(std::move(source));
        }
        auto readRow = [&](size_t row, int8_t* values) {
            const Source& source = sources[row / rows];
            std::memcpy(values, source.values + (row % rows) * in, in);
            return source.scales[row % rows];
        };
        return kernels::PackedWeights::packInt8(readRow, rows * names.size(), in, precision);
    }
    for (const std::string& name : names)
        requireFloatingPoint(file, name);
    struct Source {
        const SafeTensor* tensor;
        std::vector<float> converted; // element types other than F16 and F32
    };
    std::vector<Source> sources;
    for (const std::string& name : names) {
        const SafeTensor& tensor = file.tensor(name, shape);
        sources.push_back({&tensor, {}});
        if (tensor.dtype != "F16" && tensor.dtype != "F32")
            sources.back().converted = file.array(name, shape, MultiArrayDataType::Float32).toFloats();
    }
    const kernels::KernelTable& k = kernels::activeKernels();
    auto readRow = [&](size_t row, float* values) {
        const Source& source = sources[row / rows];
        const size_t offset = (row % rows) * in;
        if (!source.converted.empty())
            std::memcpy(values, source.converted.data() + offset, in * sizeof(float));
        else if (source.tensor->dtype == "F16")
            k.halfToFloat(reinterpret_cast<const uint16_t*>(source.tensor->data) + offset, values, in);
        else
            std::memcpy(values, source.tensor->data + offset * sizeof(float), in * sizeof(float));
    };
    return kernels::PackedWeights::pack(readRow, rows * names.size(), in, precision);
}

PackedLinearWeights readPackedLinear(const SafeTensorsFile& file, const std::string& prefix, int64_t out,
                                     int64_t in, kernels::Precision precision, WeightType weights,
                                     bool hasBias) {
    return {readPacked(file, {prefix + ".weight"}, {out, in}, precision, weights),
            hasBias ? readFloats(file, prefix + ".bias", {out}) : std::vector<float>(size_t(out), 0.0f)};
}

float RandomWeightWriter::next() {
    // xorshift64*: fast enough for the billion weights of a full-size benchmark model.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const uint64_t bits = (state_ * 0x2545F4914F6CDD1Dull) >> 40; // 24 bits
    return float(bits) * (2.0f / 16777216.0f) - 1.0f;             // uniform in [-1, 1)
}

MultiArray RandomWeightWriter::randomHalves(std::vector<int64_t> shape, float spread) {
    MultiArray values(shape, MultiArrayDataType::Float32);
    float* data = static_cast<float*>(values.data());
    for (int64_t i = 0; i < values.count(); ++i)
        data[i] = next() * spread;
    return values.converted(MultiArrayDataType::Float16);
}

void RandomWeightWriter::matrix(const std::string& name, std::vector<int64_t> shape, float spread) {
    writer_.addTensor(name, randomHalves(std::move(shape), spread));
}

void RandomWeightWriter::weight(const std::string& name, std::vector<int64_t> shape, float spread) {
    addWeight(writer_, name, randomHalves(std::move(shape), spread), weights_);
}

void RandomWeightWriter::linear(const std::string& prefix, int64_t out, int64_t in, bool hasBias) {
    // Uniform [-a, a] has standard deviation a / sqrt(3): a = sqrt(3 / in) keeps activations at unit scale.
    weight(prefix + ".weight", {out, in}, std::sqrt(3.0f / float(in)));
    if (hasBias)
        matrix(prefix + ".bias", {out}, 0.02f);
}

void RandomWeightWriter::layerNorm(const std::string& prefix, int64_t width) {
    MultiArray gamma({width}, MultiArrayDataType::Float32);
    float* g = static_cast<float*>(gamma.data());
    for (int64_t i = 0; i < width; ++i)
        g[i] = 1.0f + 0.1f * next();
    writer_.addTensor(prefix + ".weight", gamma.converted(MultiArrayDataType::Float16));
    matrix(prefix + ".bias", {width}, 0.05f);
}

void RandomWeightWriter::attention(const std::string& prefix, int64_t d) {
    linear(prefix + ".q_proj", d, d);
    linear(prefix + ".k_proj", d, d, false);
    linear(prefix + ".v_proj", d, d);
    linear(prefix + ".out_proj", d, d);
}

} // namespace ml
