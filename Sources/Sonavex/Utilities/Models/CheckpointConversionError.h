#pragma once
// Why a checkpoint could not be turned into a model folder. The message names the file and the key or
// tensor at fault, so the user can see which part of the download is wrong.

#include <stdexcept>
#include <string>

namespace sonavex {

class CheckpointConversionError : public std::runtime_error {
public:
    explicit CheckpointConversionError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace sonavex
