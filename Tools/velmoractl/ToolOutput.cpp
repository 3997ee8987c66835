#include "ToolOutput.h"

#include "VelmoraCore/ErrorText.h"

#include <iostream>

namespace velmoractl {

void printLine(const JsonObject& object) {
    std::cout << object.text() << std::endl;
}

void printLine(const JsonArray& array) {
    std::cout << array.text() << std::endl;
}

void printError(const std::exception& error) {
    const std::string name =
        dynamic_cast<const InputError*>(&error) != nullptr ? "inputError" : velmora::errorName(error);
    printLine(JsonObject().string("error", name).string("message", velmora::errorDescription(error)));
}

void progress(std::string_view text) {
    std::cerr << text << std::endl;
}

} // namespace velmoractl
