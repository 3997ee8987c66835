#include "OrvaneCore/External/Tokenizers/PreTokenizers/PreTokenizer.h"

namespace orvane {

std::vector<std::string> PreTokenizer::preTokenize(const std::vector<std::string>& texts,
                                                   const PreTokenizerOptions& options) const {
    std::vector<std::string> pieces;
    for (const auto& text : texts) {
        auto more = preTokenize(text, options);
        pieces.insert(pieces.end(), std::make_move_iterator(more.begin()),
                      std::make_move_iterator(more.end()));
    }
    return pieces;
}

} // namespace orvane
