// velmoractl ca-error OPERATION STATUS | transport CODE: the texts the audio-hardware error and the
// transport labels show, for a status or code given by hand.

#include "CommandGroup.h"
#include "CommandLine.h"
#include "ToolOutput.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/Devices/TransportType.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace {

// Decimal, or hexadecimal after "0x"; nothing may follow the number.
std::optional<long long> parseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const char* start = text.c_str() + (hex ? 2 : 0);
    if (*start == '\0' || (hex && (*start == '-' || *start == '+'))) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    long long value = std::strtoll(start, &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

int caError(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {});
    if (line.positional().size() != 2) {
        throw velmoractl::UsageError("ca-error takes an operation and a status");
    }
    const std::string& text = line.positional()[1];
    auto value = parseNumber(text);
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    // A hexadecimal status is the 32 bits themselves; a decimal one a signed value.
    const long long lowest = hex ? 0 : std::numeric_limits<int32_t>::min();
    const long long highest =
        hex ? std::numeric_limits<uint32_t>::max() : std::numeric_limits<int32_t>::max();
    if (!value || *value < lowest || *value > highest) {
        throw velmoractl::UsageError("the status must be a 32-bit decimal or 0x hexadecimal number: " + text);
    }
    const auto status = static_cast<int32_t>(static_cast<uint32_t>(*value));
    velmoractl::printLine(velmoractl::JsonObject().string(
        "description", velmora::CAError::status(line.positional()[0], status).description()));
    return velmoractl::exitSuccess;
}

int transport(const velmoractl::Arguments& arguments) {
    velmoractl::CommandLine line(arguments, {});
    if (line.positional().size() != 1) {
        throw velmoractl::UsageError("transport takes one code");
    }
    const std::string& text = line.positional().front();
    std::optional<uint32_t> code;
    if (auto number = parseNumber(text);
        number && *number >= 0 && *number <= std::numeric_limits<uint32_t>::max()) {
        code = static_cast<uint32_t>(*number);
    } else {
        code = velmora::fourCharCode(text);
    }
    if (!code) {
        throw velmoractl::UsageError("the code must be a number or four characters: " + text);
    }
    velmoractl::printLine(velmoractl::JsonObject()
                              .integer("transportType", *code)
                              .string("label", velmora::transportTypeDescription(*code)));
    return velmoractl::exitSuccess;
}

const bool registeredCaError =
    velmoractl::registerCommandGroup({"ca-error", "ca-error OPERATION STATUS", caError});
const bool registeredTransport = velmoractl::registerCommandGroup({"transport", "transport CODE", transport});

} // namespace
