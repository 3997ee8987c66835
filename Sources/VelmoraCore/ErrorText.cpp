#include "VelmoraCore/ErrorText.h"

#include "Sonavex/Utilities/Errors/WhisperError.h"
#include "VelmoraCore/AppError.h"

#include <cstdio>
#include <filesystem>

namespace velmora {

std::string errorDescription(const std::exception& error) {
    if (const auto* appError = dynamic_cast<const AppError*>(&error)) {
        return appError->description();
    }
    if (const auto* engineError = dynamic_cast<const sonavex::WhisperError*>(&error)) {
        return engineError->errorDescription(); // logs it, as every read of the engine's description does
    }
    return error.what();
}

std::string errorTextualForm(const std::exception& error) {
    if (const auto* appError = dynamic_cast<const AppError*>(&error)) {
        return appError->textualForm();
    }
    if (const auto* engineError = dynamic_cast<const sonavex::WhisperError*>(&error)) {
        return std::string(engineError->caseName()) + "(" + quotedLiteral(engineError->message()) + ")";
    }
    return error.what();
}

namespace {

template <class Show> std::string showingCaught(const std::exception_ptr& caught, Show show) {
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& error) {
        return show(error);
    } catch (...) {
        return "unknown error";
    }
}

} // namespace

std::string errorDescription(const std::exception_ptr& error) {
    return showingCaught(error, [](const std::exception& e) { return errorDescription(e); });
}

std::string errorTextualForm(const std::exception_ptr& error) {
    return showingCaught(error, [](const std::exception& e) { return errorTextualForm(e); });
}

std::string errorName(const std::exception& error) {
    if (const auto* appError = dynamic_cast<const AppError*>(&error)) {
        return appError->caseName();
    }
    if (const auto* engineError = dynamic_cast<const sonavex::WhisperError*>(&error)) {
        return std::string(engineError->caseName());
    }
    if (dynamic_cast<const std::filesystem::filesystem_error*>(&error) != nullptr) {
        return "fileSystemError";
    }
    return "error";
}

std::string quotedLiteral(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': quoted += "\\\\"; break;
        case '"': quoted += "\\\""; break;
        case '\0': quoted += "\\0"; break;
        case '\t': quoted += "\\t"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        default:
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[16];
                std::snprintf(escaped, sizeof escaped, "\\u{%x}", byte);
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

} // namespace velmora
