#include "CommandLine/NumberArguments.h"

#include "CommandLine/CommandLine.h"

#include <charconv>

namespace sonavex::tool {

namespace {

template <class T> T parseWhole(const std::string& text, const std::string& name, const char* what) {
    T value{};
    const char* begin = text.data();
    const char* end = text.data() + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    auto [ptr, error] = std::from_chars(begin, end, value);
    if (text.empty() || error != std::errc() || ptr != end) {
        throw CommandLine::UsageError(name + " must be " + what + ", not \"" + text + "\"");
    }
    return value;
}

} // namespace

int64_t parseIntArgument(const std::string& text, const std::string& name) {
    return parseWhole<int64_t>(text, name, "a whole number");
}

float parseFloatArgument(const std::string& text, const std::string& name) {
    return parseWhole<float>(text, name, "a number");
}

double parseDoubleArgument(const std::string& text, const std::string& name) {
    return parseWhole<double>(text, name, "a number");
}

std::vector<std::string> splitList(const std::string& text, const std::string& name) {
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty()) {
            throw CommandLine::UsageError(name + " has an empty item in \"" + text + "\"");
        }
        items.push_back(item);
        if (comma == std::string::npos) {
            return items;
        }
        start = comma + 1;
    }
}

} // namespace sonavex::tool
