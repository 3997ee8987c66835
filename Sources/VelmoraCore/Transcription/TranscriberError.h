#pragma once
// The transcriber's own error: a message and nothing else. Its textual form is the message itself.
// The transcriber passes the engine's and the file system's errors on instead of wrapping them.

#include "VelmoraCore/AppError.h"

#include <string>

namespace velmora {

class TranscriberError : public AppError {
public:
    explicit TranscriberError(std::string message);

    std::string textualForm() const override;
};

} // namespace velmora
