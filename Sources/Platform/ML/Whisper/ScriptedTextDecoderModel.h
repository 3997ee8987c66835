#pragma once
// The "scripted_text_decoder" model kind: a decoder with the text decoder's exact feature contract whose
// answers come from a table, so the engine's decoding can be tested with exact expectations.
// Parameters: "script" rows [input token, position or -1 for any, next token, optional alignment frame]
// (a row naming the position wins over one for any position; among equals the first wins),
// "flat" rows [input token, position or -1] answered with flat logits, "default_next_token" (-1: flat
// logits when no row matches), "peak_logit" (default 30; every other logit is 0), "alignment_frame"
// (default 0) and "word_timestamps" (default true: the model has "alignment_heads_weights").
// Outputs: logits peaked on the next token; key updates whose channels cycle through
// [input token / 1024, input token % 1024, position] and value updates holding the same negated, so a
// test can tell which step wrote a cache column; alignment weights 1 at the frame, 0 elsewhere.

#include "Platform/ML/Files/ModelFolder.h"
#include "Platform/ML/Model/ModelKind.h"
#include "Platform/ML/Files/ModelWriter.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"

#include <cstdint>
#include <vector>

namespace ml {

class ScriptedTextDecoderModel : public ModelKind {
public:
    static constexpr const char* kKind = "scripted_text_decoder";
    static constexpr int64_t kAnyPosition = -1;

    struct Rule {
        int64_t inputToken;
        int64_t position;       // kAnyPosition for any
        int64_t nextToken;      // -1: flat logits
        int64_t alignmentFrame; // -1: the model's default frame
    };

    explicit ScriptedTextDecoderModel(const ModelFolder& folder);

    /// A writer for a scripted decoder of this shape (its alignment heads are not used; any non-empty
    /// list, or wordTimestamps, gives the alignment output).
    static ModelWriter writer(const TextDecoderShape& shape, const std::vector<Rule>& rules,
                              int64_t defaultNextToken = -1, int64_t alignmentFrame = 0,
                              bool wordTimestamps = true);

    void predict(const FeatureProvider& inputs, const PredictionOptions& options,
                 DictionaryFeatureProvider& outputs) const override;

private:
    const Rule* find(int64_t token, int64_t position) const;

    TextDecoderShape shape_;
    std::vector<Rule> rules_;
    int64_t defaultNextToken_ = -1;
    int64_t alignmentFrame_ = 0;
    float peakLogit_ = 30.0f;
    bool wordTimestamps_ = true;
};

} // namespace ml
