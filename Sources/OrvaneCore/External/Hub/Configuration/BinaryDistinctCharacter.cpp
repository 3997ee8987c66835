#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctCharacter.h"

#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctString.h"

#include <cstdio>

namespace orvane {

BinaryDistinctCharacter::BinaryDistinctCharacter(std::string_view utf8)
    : bytes_(BinaryDistinctString(utf8).value()) {}

std::string BinaryDistinctCharacter::string() const {
    return BinaryDistinctString(bytes_).string();
}

std::string BinaryDistinctCharacter::description() const {
    std::string units;
    for (char16_t unit : bytes_) {
        char item[16];
        std::snprintf(item, sizeof item, "\"0x%02X\"", static_cast<unsigned>(unit));
        units += units.empty() ? item : std::string(", ") + item;
    }
    return "BinaryDistinctCharacter('" + string() + "', bytes: [" + units + "])";
}

} // namespace orvane
