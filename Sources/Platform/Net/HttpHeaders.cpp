#include "Platform/Net/HttpHeaders.h"

#include <algorithm>
#include <cctype>

namespace net {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

void HttpHeaders::set(std::string_view name, std::string_view value) {
    remove(name);
    add(name, value);
}

void HttpHeaders::add(std::string_view name, std::string_view value) {
    fields_.emplace_back(std::string(name), std::string(value));
}

void HttpHeaders::remove(std::string_view name) {
    std::erase_if(fields_, [&](const Field& field) { return equalsIgnoringCase(field.first, name); });
}

std::optional<std::string> HttpHeaders::value(std::string_view name) const {
    std::optional<std::string> result;
    for (const auto& [fieldName, fieldValue] : fields_) {
        if (equalsIgnoringCase(fieldName, name)) {
            result = result ? *result + ", " + fieldValue : fieldValue;
        }
    }
    return result;
}

} // namespace net
