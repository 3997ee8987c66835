#pragma once
// A structured document (JSON) did not have the shape a record expects: a key is missing, a value has
// the wrong type, or the data is not a document at all. what() is the short readable description;
// debugDescription() says exactly what was wrong.

#include <stdexcept>
#include <string>

namespace orvane {

class DecodingError : public std::runtime_error {
public:
    enum class Kind { typeMismatch, valueNotFound, keyNotFound, dataCorrupted };

    DecodingError(Kind kind, std::string debugDescription);

    Kind kind() const { return kind_; }
    const std::string& debugDescription() const { return debugDescription_; }

private:
    Kind kind_;
    std::string debugDescription_;
};

} // namespace orvane
