#pragma once
// A model set that cannot be found where the model downloader was allowed to look.

#include <stdexcept>
#include <string>

namespace orvane {

class ModelDownloaderError : public std::runtime_error {
public:
    enum class Kind { modelUnavailable };

    static ModelDownloaderError modelUnavailable(const std::string& message) {
        return ModelDownloaderError(Kind::modelUnavailable, message);
    }

    Kind kind() const { return kind_; }
    /// The carried message.
    const std::string& errorDescription() const { return message_; }

private:
    ModelDownloaderError(Kind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind), message_(message) {}

    Kind kind_;
    std::string message_;
};

} // namespace orvane
