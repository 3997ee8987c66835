#include "OrvaneCore/External/Tokenizers/Pipeline/TokenizerWrapper.h"

#include <stdexcept>

namespace orvane {

TokenizerWrapper::TokenizerWrapper(std::shared_ptr<const Tokenizer> impl) : impl_(std::move(impl)) {
    if (!impl_)
        throw std::invalid_argument("TokenizerWrapper needs a tokenizer");
}

} // namespace orvane
