#include "VelmoraCore/AppError.h"

#include "VelmoraCore/ErrorText.h"

#include <utility>

namespace velmora {

AppError::AppError(std::string caseName, std::string message)
    : std::runtime_error(message), caseName_(std::move(caseName)), message_(std::move(message)) {}

std::string AppError::description() const {
    return message_;
}

std::string AppError::textualForm() const {
    return caseName_ + "(" + quotedLiteral(message_) + ")";
}

} // namespace velmora
