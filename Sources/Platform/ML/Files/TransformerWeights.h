#pragma once
// Weights of the transformer blocks shared by the audio encoder and text decoder kinds, read from a
// model's weights file under the names of public Whisper checkpoints ("<prefix>.q_proj.weight", ...),
// and the random-weight generator that writes them for test and benchmark models.

#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Files/SafeTensorsFile.h"
#include "Platform/ML/Files/WeightType.h"
#include "Platform/ML/Kernels/Packed/PackedWeights.h"
#include "Platform/ML/Model/ComputeUnits.h"
#include "Platform/ML/Values/MultiArray.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ml {

/// Every attention head of our kinds is 64 wide.
constexpr int64_t kAttentionHeadSize = 64;

/// Throws std::invalid_argument unless width is heads whole heads.
void requireAttentionShape(int64_t width, int64_t heads);

struct LayerNormWeights {
    std::vector<float> gamma;
    std::vector<float> beta;
};

/// A linear layer: weight [out, in] (Float32 or Float16, as the kind asks, or Int8 with a scale per row)
/// and a Float32 bias [out] (all zeros when the checkpoint has none, as for the attention key projection).
struct LinearWeights {
    int64_t in = 0;
    int64_t out = 0;
    MultiArray weight;
    std::vector<float> scales; // Int8 weights: row r holds weight[r, :] x scales[r]
    std::vector<float> bias;

    const float* floats() const { return static_cast<const float*>(weight.data()); }
    const uint16_t* halves() const { return static_cast<const uint16_t*>(weight.data()); }
    const int8_t* bytes() const { return static_cast<const int8_t*>(weight.data()); }
    bool isInt8() const { return weight.dataType() == MultiArrayDataType::Int8; }
};

/// A linear layer whose weight is packed for the matrix kernels (the large, many-row products).
struct PackedLinearWeights {
    kernels::PackedWeights weight;
    std::vector<float> bias;
};

/// The products' precision for a load's compute units: float32 for cpuOnly (and unknown values),
/// reduced precision for the others (where the processor has it; PackedWeights falls back).
kernels::Precision productPrecision(ComputeUnits units);

/// Tensors of one shape [rows, ...] stacked in order (query, key and value into one product) and packed as
/// one linear layer [rows x count, product of the other dimensions], read from the file a row at a time
/// (no float copy of the whole). 8-bit weights (with their scales) stay 8-bit on every precision.
kernels::PackedWeights readPacked(const SafeTensorsFile& file, const std::vector<std::string>& names,
                                  const std::vector<int64_t>& shape, kernels::Precision precision,
                                  WeightType weights = WeightType::half);
/// A linear layer "<prefix>.weight" [out, in] and "<prefix>.bias", packed.
PackedLinearWeights readPackedLinear(const SafeTensorsFile& file, const std::string& prefix, int64_t out,
                                     int64_t in, kernels::Precision precision, WeightType weights,
                                     bool hasBias = true);

/// Reads and checks the shapes of "<prefix>.weight" and "<prefix>.bias".
LayerNormWeights readLayerNorm(const SafeTensorsFile& file, const std::string& prefix, int64_t width);
LinearWeights readLinear(const SafeTensorsFile& file, const std::string& prefix, int64_t out, int64_t in,
                         MultiArrayDataType type, bool hasBias = true);
/// The same for a model of this weight type: half weights as Float16, 8-bit ones as Int8 with their scales.
LinearWeights readLinear(const SafeTensorsFile& file, const std::string& prefix, int64_t out, int64_t in,
                         WeightType weights, bool hasBias = true);
/// An 8-bit weight [rows, ...] and its scales [rows]; throws ModelLoadError when the stored tensor is not
/// 8-bit (a model's weight type and its tensors must agree).
MultiArray readInt8(const SafeTensorsFile& file, const std::string& name, const std::vector<int64_t>& shape,
                    std::vector<float>& scales);
/// Adds a linear layer's weight [rows, ...] to a writer as the weight type stores it: as given for half,
/// quantised per row with its scale tensor for int8.
void addWeight(ModelWriter& writer, const std::string& name, const MultiArray& values, WeightType weights);
/// Several layers over the same input stacked into one (query, key and value into one product).
LinearWeights stackLinear(const std::vector<const LinearWeights*>& parts);
/// A Float32 copy of a tensor of the expected shape.
std::vector<float> readFloats(const SafeTensorsFile& file, const std::string& name,
                              const std::vector<int64_t>& shape);

/// Writes random weights (fixed seed, uniform with the spread of a trained layer: 1/sqrt(in) for
/// matrices) into a model writer, stored as half floats; with int8, the linear layers' weights are those
/// same halves quantised (the same checkpoint at the other weight type).
class RandomWeightWriter {
public:
    RandomWeightWriter(ModelWriter& writer, uint64_t seed, WeightType weights = WeightType::half)
        : writer_(writer), state_(seed * 2654435761u + 1), weights_(weights) {}

    void matrix(const std::string& name, std::vector<int64_t> shape, float spread);
    /// A linear layer's weight matrix (or the token embedding that is also the output projection).
    void weight(const std::string& name, std::vector<int64_t> shape, float spread);
    void linear(const std::string& prefix, int64_t out, int64_t in, bool hasBias = true);
    void layerNorm(const std::string& prefix, int64_t width);
    /// The attention block "<prefix>.{q,k,v,out}_proj" of width d (no key bias).
    void attention(const std::string& prefix, int64_t d);

private:
    float next();

    MultiArray randomHalves(std::vector<int64_t> shape, float spread);

    ModelWriter& writer_;
    uint64_t state_;
    WeightType weights_;
};

} // namespace ml
