#pragma once
// A text decoder over the scripted decoder model, for loop tests with exact token sequences: a small
// model (6 channels, 2 layers, 30 frames) written to a temporary folder, the table tokenizer with a few
// text tokens, and a hook that runs before each prediction.

#include "OrvaneCore/Models/ModelUtilities.h"
#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"
#include "Sonavex/Core/Decoding/TextDecoder.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayInputType.h"
#include "Sonavex/Core/Decoding/TextDecoderMLMultiArrayOutputType.h"
#include "Sonavex/Core/FrontEnd/StageArray.h"
#include "Support/TestSupport.h"
#include "TableTokenizer.h"

#include <functional>

namespace decodertest {

using Rule = ml::ScriptedTextDecoderModel::Rule;

constexpr int64_t kWidth = 6, kLayers = 2, kFrames = 30;
constexpr int SOT = 50258, EN = 50259, JA = 50266, TRANSCRIBE = 50359, NO_TIMESTAMPS = 50363, T0 = 50364,
              EOT = 50257, A = 100, B = 101, T1 = 50414;

class HookedDecoder : public sonavex::TextDecoder {
public:
    using TextDecoder::predictLogits;
    /// Called with the step's cache position and state (its cache length array) before each prediction.
    std::function<void(int64_t, const ml::MultiArray*)> beforePrediction;
    /// Drops the step's cache updates from every output (a model without them).
    bool dropCache = false;

    std::shared_ptr<sonavex::TextDecoderOutputType> predictLogits(const sonavex::TextDecoderInputType& input,
                                                                  std::stop_token stopToken = {}) override {
        if (beforePrediction) {
            const auto& arrays = dynamic_cast<const sonavex::TextDecoderMLMultiArrayInputType&>(input);
            beforePrediction(int64_t(arrays.cacheLength->value(0)), arrays.cacheLength.get());
        }
        auto output = TextDecoder::predictLogits(input, std::move(stopToken));
        if (dropCache) {
            std::dynamic_pointer_cast<sonavex::TextDecoderMLMultiArrayOutputType>(output)->cache.reset();
        }
        return output;
    }
};

inline std::shared_ptr<TableTokenizer> tableTokenizer() {
    auto tokenizer = std::make_shared<TableTokenizer>();
    tokenizer->add("a", A);
    tokenizer->add("b", B);
    tokenizer->add("<|1.00|>", T1);
    return tokenizer;
}

struct ScriptedDecoder {
    testsupport::TemporaryDirectory folder;
    HookedDecoder decoder;

    /// `defaultNextToken` -1: flat logits where no rule matches.
    explicit ScriptedDecoder(const std::vector<Rule>& rules, int64_t defaultNextToken = -1,
                             bool wordTimestamps = true) {
        load(rules, defaultNextToken, wordTimestamps);
        decoder.setTokenizer(tableTokenizer());
        decoder.setIsModelMultilingual(true);
    }

    void load(const std::vector<Rule>& rules, int64_t defaultNextToken = -1, bool wordTimestamps = true) {
        ml::TextDecoderShape shape;
        shape.width = kWidth;
        shape.layers = kLayers;
        shape.audioFrames = kFrames;
        const auto location = folder / "TextDecoder.mlmodelc";
        std::filesystem::remove_all(location);
        ml::ScriptedTextDecoderModel::writer(shape, rules, defaultNextToken, 0, wordTimestamps)
            .writeCompiled(location);
        decoder.loadModel(location, ml::ComputeUnits::cpuOnly, false);
    }

    static std::shared_ptr<sonavex::StageArray> encoderOutput() {
        return sonavex::StageArray::make(std::make_shared<ml::MultiArray>(
            std::vector<int64_t>{1, kWidth, 1, kFrames}, ml::MultiArrayDataType::Float16));
    }

    /// Fresh state prefilled from the options, or holding `prompt` when one is given.
    std::shared_ptr<sonavex::DecodingInputs> inputs(const sonavex::DecodingOptions& options,
                                                    const std::vector<int64_t>& prompt = {}) {
        auto state = decoder.prepareDecoderInputs({});
        decoder.prefillDecoderInputs(*state, options);
        if (!prompt.empty()) {
            state->initialPrompt = prompt;
        }
        return state;
    }
};

} // namespace decodertest
