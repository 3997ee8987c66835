#include "VelmoraCore/Auth/CallbackUrl.h"

#include "Platform/Net/Url.h"

#include <cctype>

namespace velmora {

namespace {

bool isAllowed(unsigned char c) {
    return c > 0x20 && c < 0x7F &&
           std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) == std::string_view::npos;
}

bool escapesAreWellFormed(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' &&
            (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
             !std::isxdigit(static_cast<unsigned char>(text[i + 2])))) {
            return false;
        }
    }
    return true;
}

// "name:" at the start, RFC 3986 style: a letter, then letters, digits, "+", "-" or ".".
std::optional<std::size_t> schemeLength(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text.front()))) {
        return std::nullopt;
    }
    std::size_t i = 1;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '+' ||
                               text[i] == '-' || text[i] == '.')) {
        ++i;
    }
    if (i < text.size() && text[i] == ':') {
        return i;
    }
    return std::nullopt;
}

std::string hostOf(std::string_view authority) {
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        return std::string(
            authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1));
    }
    return net::percentDecode(authority.substr(0, authority.find(':')));
}

std::vector<CallbackUrl::QueryItem> itemsOf(std::string_view query) {
    std::vector<CallbackUrl::QueryItem> items;
    if (query.empty()) {
        return items;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = query.find('&', start);
        const std::string_view item =
            query.substr(start, end == std::string_view::npos ? query.size() - start : end - start);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos) {
            items.push_back({net::percentDecode(item), std::nullopt});
        } else {
            items.push_back(
                {net::percentDecode(item.substr(0, equals)), net::percentDecode(item.substr(equals + 1))});
        }
        if (end == std::string_view::npos) {
            return items;
        }
        start = end + 1;
    }
}

} // namespace

std::optional<CallbackUrl> CallbackUrl::parse(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    for (unsigned char c : text) {
        if (!isAllowed(c)) {
            return std::nullopt;
        }
    }
    if (!escapesAreWellFormed(text)) {
        return std::nullopt;
    }
    CallbackUrl url;
    std::string_view rest = text;
    if (const std::size_t fragment = rest.find('#'); fragment != std::string_view::npos) {
        rest = rest.substr(0, fragment);
    }
    if (const auto length = schemeLength(rest)) {
        url.scheme_ = std::string(rest.substr(0, *length));
        rest.remove_prefix(*length + 1);
    }
    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        const std::size_t end = rest.find_first_of("/?");
        url.host_ = hostOf(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    }
    const std::size_t question = rest.find('?');
    url.path_ = net::percentDecode(rest.substr(0, question));
    if (question != std::string_view::npos) {
        url.queryItems_ = itemsOf(rest.substr(question + 1));
    }
    return url;
}

std::optional<std::string> CallbackUrl::firstQueryValue(std::string_view name) const {
    if (!queryItems_) {
        return std::nullopt;
    }
    for (const QueryItem& item : *queryItems_) {
        if (item.name == name) {
            return item.value;
        }
    }
    return std::nullopt;
}

} // namespace velmora
