#pragma once
// The model of T5 tokenizers: the unigram model under its own name.

#include "OrvaneCore/External/Tokenizers/Models/UnigramTokenizer.h"

namespace orvane {

class T5Tokenizer : public UnigramTokenizer {
public:
    using UnigramTokenizer::UnigramTokenizer;
};

} // namespace orvane
