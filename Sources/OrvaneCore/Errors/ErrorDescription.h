#pragma once
// How a log line shows an error caught by `catch (...)`: its what() when it is a std::exception.

#include <exception>
#include <string>

namespace orvane {

/// Call only inside a catch block.
inline std::string describeCurrentException() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace orvane
