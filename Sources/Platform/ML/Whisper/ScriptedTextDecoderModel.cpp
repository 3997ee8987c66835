#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"

#include "Platform/ML/Model/PredictionError.h"

#include <stdexcept>
#include <string>

namespace ml {

ScriptedTextDecoderModel::ScriptedTextDecoderModel(const ModelFolder& folder) {
    const ModelParameters& p = folder.parameters();
    shape_.vocabulary = p.integer("n_vocab");
    shape_.width = p.integer("n_text_state");
    shape_.layers = p.integer("n_text_layer");
    shape_.audioFrames = p.integer("n_audio_ctx", 1500);
    shape_.cacheLength = p.integer("kv_cache_length", 224);
    defaultNextToken_ = p.integer("default_next_token", -1);
    alignmentFrame_ = p.integer("alignment_frame", 0);
    peakLogit_ = float(p.number("peak_logit", 30.0));
    wordTimestamps_ = p.boolean("word_timestamps", true);
    if (shape_.vocabulary < 1 || shape_.width < 1 || shape_.layers < 1 || shape_.audioFrames < 1 ||
        shape_.cacheLength < 1)
        throw std::invalid_argument("scripted decoder needs positive n_vocab, n_text_state, n_text_layer, "
                                    "n_audio_ctx and kv_cache_length");
    auto checkToken = [&](int64_t token, bool allowNone) {
        if (token < (allowNone ? -1 : 0) || token >= shape_.vocabulary)
            throw std::invalid_argument("scripted decoder token " + std::to_string(token) +
                                        " is outside the vocabulary");
    };
    auto checkFrame = [&](int64_t frame) {
        if (frame < -1 || frame >= shape_.audioFrames)
            throw std::invalid_argument("scripted decoder alignment frame " + std::to_string(frame) +
                                        " is outside the window");
    };
    checkToken(defaultNextToken_, true);
    checkFrame(alignmentFrame_);
    if (p.contains("script"))
        for (const auto& row : p.integerRows("script")) {
            if (row.size() != 3 && row.size() != 4)
                throw std::invalid_argument(
                    "script rows are [input, position, next] or [input, position, next, "
                    "frame]");
            rules_.push_back({row[0], row[1], row[2], row.size() == 4 ? row[3] : -1});
        }
    if (p.contains("flat"))
        for (const auto& row : p.integerRows("flat")) {
            if (row.size() != 2)
                throw std::invalid_argument("flat rows are [input, position]");
            rules_.push_back({row[0], row[1], -1, -1});
        }
    for (const Rule& rule : rules_) {
        if (rule.position < kAnyPosition || rule.position >= shape_.cacheLength)
            throw std::invalid_argument("scripted decoder position " + std::to_string(rule.position) +
                                        " is outside the cache (a row for it could never answer)");
        checkToken(rule.inputToken, false);
        checkToken(rule.nextToken, true);
        checkFrame(rule.alignmentFrame);
    }
    if (wordTimestamps_ != (folder.description().findOutput("alignment_heads_weights") != nullptr))
        throw std::invalid_argument(
            "scripted decoder: \"alignment_heads_weights\" must be declared exactly when "
            "word_timestamps is on");
    shape_.alignmentHeads.clear();
    if (wordTimestamps_)
        shape_.alignmentHeads.emplace_back(0, 0);
    // The same inputs and outputs as the real decoder.
    ModelWriter expected(kKind);
    TextDecoderModel::describe(shape_, expected);
    for (const auto& input : expected.description().inputs)
        folder.requireInput(input.name, input.multiArrayConstraint->dataType,
                            input.multiArrayConstraint->shape);
    for (const auto& output : expected.description().outputs)
        folder.requireOutput(output.name, output.multiArrayConstraint->dataType,
                             output.multiArrayConstraint->shape);
}

ModelWriter ScriptedTextDecoderModel::writer(const TextDecoderShape& shape, const std::vector<Rule>& rules,
                                             int64_t defaultNextToken, int64_t alignmentFrame,
                                             bool wordTimestamps) {
    ModelWriter writer(kKind);
    ModelParameters& p = writer.parameters();
    p.set("n_vocab", shape.vocabulary);
    p.set("n_text_state", shape.width);
    p.set("n_text_layer", shape.layers);
    p.set("n_audio_ctx", shape.audioFrames);
    p.set("kv_cache_length", shape.cacheLength);
    p.set("default_next_token", defaultNextToken);
    p.set("alignment_frame", alignmentFrame);
    p.setBoolean("word_timestamps", wordTimestamps);
    std::vector<std::vector<int64_t>> script, flat;
    for (const Rule& rule : rules) {
        if (rule.nextToken < 0)
            flat.push_back({rule.inputToken, rule.position});
        else
            script.push_back({rule.inputToken, rule.position, rule.nextToken, rule.alignmentFrame});
    }
    p.set("script", script);
    p.set("flat", flat);
    TextDecoderShape described = shape;
    described.alignmentHeads.clear();
    if (wordTimestamps)
        described.alignmentHeads.emplace_back(0, 0);
    TextDecoderModel::describe(described, writer);
    return writer;
}

const ScriptedTextDecoderModel::Rule* ScriptedTextDecoderModel::find(int64_t token, int64_t position) const {
    const Rule* anyPosition = nullptr;
    for (const Rule& rule : rules_) {
        if (rule.inputToken != token)
            continue;
        if (rule.position == position)
            return &rule;
        if (rule.position == kAnyPosition && !anyPosition)
            anyPosition = &rule;
    }
    return anyPosition;
}

void ScriptedTextDecoderModel::predict(const FeatureProvider& inputs, const PredictionOptions&,
                                       DictionaryFeatureProvider& outputs) const {
    auto idArray = inputs.multiArray("input_ids");
    auto lengthArray = inputs.multiArray("cache_length");
    if (!idArray || !lengthArray)
        throw PredictionError("missing input \"input_ids\" or \"cache_length\"");
    const int64_t token = int64_t(idArray->value(0));
    const int64_t position = int64_t(lengthArray->value(0));
    if (token < 0 || token >= shape_.vocabulary)
        throw PredictionError("input_ids holds " + std::to_string(token) + ", outside the vocabulary of " +
                              std::to_string(shape_.vocabulary));
    if (position < 0 || position >= shape_.cacheLength)
        throw PredictionError("cache_length " + std::to_string(position) + " is outside the cache of " +
                              std::to_string(shape_.cacheLength) + " positions");

    const Rule* rule = find(token, position);
    const int64_t next = rule ? rule->nextToken : defaultNextToken_;
    auto logits = std::make_shared<MultiArray>(
        MultiArray::filled({1, 1, shape_.vocabulary}, MultiArrayDataType::Float16, 0.0));
    if (next >= 0)
        logits->setValue(next, peakLogit_);

    const int64_t e = shape_.layers * shape_.width;
    auto keys = std::make_shared<MultiArray>(std::vector<int64_t>{1, e, 1, 1}, MultiArrayDataType::Float16);
    auto values = std::make_shared<MultiArray>(std::vector<int64_t>{1, e, 1, 1}, MultiArrayDataType::Float16);
    const double marks[3] = {double(token / 1024), double(token % 1024), double(position)};
    for (int64_t c = 0; c < e; ++c) {
        keys->setValue(c, marks[c % 3]);
        values->setValue(c, -marks[c % 3]);
    }
    outputs.set("logits", FeatureValue(logits));
    outputs.set("key_cache_updates", FeatureValue(keys));
    outputs.set("value_cache_updates", FeatureValue(values));
    if (wordTimestamps_) {
        const int64_t frame = rule && rule->alignmentFrame >= 0 ? rule->alignmentFrame : alignmentFrame_;
        auto alignment = std::make_shared<MultiArray>(std::vector<int64_t>{1, shape_.audioFrames},
                                                      MultiArrayDataType::Float16);
        alignment->setValue(frame, 1.0);
        outputs.set("alignment_heads_weights", FeatureValue(alignment));
    }
}

} // namespace ml
