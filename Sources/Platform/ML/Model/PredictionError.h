#pragma once
// A prediction that cannot run: a missing input, an input of the wrong type or shape.

#include <stdexcept>
#include <string>

namespace ml {

class PredictionError : public std::runtime_error {
public:
    explicit PredictionError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace ml
