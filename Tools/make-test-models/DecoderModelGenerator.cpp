#include "ModelGenerators.h"
#include "Platform/ML/Whisper/ScriptedTextDecoderModel.h"
#include "Platform/ML/Whisper/TextDecoderModel.h"

#include <sstream>
#include <stdexcept>

namespace {

ml::TextDecoderShape decoderShape(const ToolOptions& options) {
    ml::TextDecoderShape shape;
    shape.vocabulary = options.integer("vocab");
    shape.width = options.integer("width");
    shape.layers = options.integer("layers");
    shape.heads = options.integer("heads", shape.width / 64);
    shape.cacheLength = options.integer("cache-length", 224);
    return shape;
}

// "a:b:c,d:e:f" -> {{a, b, c}, {d, e, f}}, each row of `minimum` to `maximum` integers.
std::vector<std::vector<int64_t>> integerRows(const std::string& text, size_t minimum, size_t maximum,
                                              const std::string& flag) {
    std::vector<std::vector<int64_t>> rows;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        std::vector<int64_t> row;
        std::stringstream fields(item);
        std::string field;
        while (std::getline(fields, field, ':')) {
            size_t used = 0;
            try {
                row.push_back(std::stoll(field, &used));
            } catch (const std::exception&) {
                used = 0;
            }
            if (used == 0 || used != field.size())
                throw std::invalid_argument("--" + flag + " has a field that is not an integer: \"" + item +
                                            "\"");
        }
        if (row.size() < minimum || row.size() > maximum)
            throw std::invalid_argument("--" + flag + " has an item of the wrong length: \"" + item + "\"");
        rows.push_back(row);
    }
    return rows;
}

} // namespace

ml::ModelWriter makeDecoderModel(const ToolOptions& options) {
    ml::TextDecoderShape shape = decoderShape(options);
    // One alignment head in each upper-half layer, as the presets have.
    for (int64_t layer = shape.layers / 2; layer < shape.layers; ++layer)
        shape.alignmentHeads.emplace_back(layer, layer % std::max<int64_t>(shape.heads, 1));
    return ml::TextDecoderModel::writer(shape, uint64_t(options.integer("seed", 0)), weightsOption(options));
}

ml::ModelWriter makeScriptedDecoderModel(const ToolOptions& options) {
    using Rule = ml::ScriptedTextDecoderModel::Rule;
    std::vector<Rule> rules;
    for (const auto& row : integerRows(options.text("script", ""), 3, 4, "script"))
        rules.push_back({row[0], row[1], row[2], row.size() == 4 ? row[3] : -1});
    for (const auto& row : integerRows(options.text("flat", ""), 2, 2, "flat"))
        rules.push_back({row[0], row[1], -1, -1});
    options.integer("seed", 0); // nothing random here; taken so every kind accepts the same flags
    const int64_t timestamps = options.integer("word-timestamps", 1);
    if (timestamps != 0 && timestamps != 1)
        throw std::invalid_argument("--word-timestamps must be 0 or 1");
    return ml::ScriptedTextDecoderModel::writer(decoderShape(options), rules,
                                                options.integer("default-next", -1),
                                                options.integer("alignment-frame", 0), timestamps == 1);
}
