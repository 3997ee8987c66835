#include "CommandLine/JsonLines.h"

#include "OrvaneCore/Errors/DecodingError.h"
#include "Sonavex/Utilities/Errors/WhisperError.h"

#include <cmath>
#include <cxxabi.h>
#include <iostream>
#include <memory>
#include <typeinfo>

namespace sonavex::tool {

Json withNonFiniteAsText(const Json& document) {
    if (document.is_number_float()) {
        double number = document.get<double>();
        if (std::isnan(number)) {
            return "nan";
        }
        if (std::isinf(number)) {
            return number < 0 ? "-inf" : "inf";
        }
        return document;
    }
    if (document.is_object()) {
        Json result = Json::object();
        for (const auto& [key, value] : document.items()) {
            result[key] = withNonFiniteAsText(value);
        }
        return result;
    }
    if (document.is_array()) {
        Json result = Json::array();
        for (const Json& value : document) {
            result.push_back(withNonFiniteAsText(value));
        }
        return result;
    }
    return document;
}

void printJsonLine(const Json& document) {
    // Text from files may hold invalid UTF-8: replace it rather than fail half-way through a line.
    std::cout << withNonFiniteAsText(document).dump(-1, ' ', false, Json::error_handler_t::replace) << '\n'
              << std::flush;
}

namespace {

std::string typeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
    std::string name = status == 0 && demangled ? demangled.get() : type.name();
    auto lastScope = name.rfind("::");
    return lastScope == std::string::npos ? name : name.substr(lastScope + 2);
}

} // namespace

ErrorText describeError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const WhisperError& whisperError) {
        // Read through its description, as the application shows it, so it is on record in the log.
        return {std::string(whisperError.caseName()), whisperError.errorDescription()};
    } catch (const orvane::DecodingError& decodingError) {
        return {"DecodingError", decodingError.debugDescription()};
    } catch (const std::exception& other) {
        return {typeName(typeid(other)), other.what()};
    } catch (...) {
        return {"unknown", "unknown error"};
    }
}

Json errorLine(std::exception_ptr error, const Json& extra) {
    ErrorText text = describeError(error);
    Json line = Json::object();
    line["error"] = text.name;
    line["message"] = text.message;
    for (const auto& [key, value] : extra.items()) {
        line[key] = value;
    }
    return line;
}

} // namespace sonavex::tool
