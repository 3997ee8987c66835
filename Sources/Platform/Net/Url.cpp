#include "Platform/Net/Url.h"

#include <cctype>
#include <string_view>

namespace net {

namespace {

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (std::tolower(static_cast<unsigned char>(c)) - 'a') + 10;
}

// Characters no address may hold unescaped: white space, controls, non-ASCII and the "unwise" set.
bool isForbidden(unsigned char c) {
    if (c <= 0x20 || c >= 0x7F) {
        return true;
    }
    return std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos;
}

bool escapesAreWellFormed(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' &&
            (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
            return false;
        }
    }
    return true;
}

bool isSchemeStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool isSchemeChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

// The platform's path-allowed set without "/": unreserved, sub-delimiters except ";", ":" and "@".
bool isSegmentChar(unsigned char c) {
    return std::isalnum(c) != 0 ||
           std::string_view("-._~!$&'()*+,=:@").find(static_cast<char>(c)) != std::string_view::npos;
}

} // namespace

std::string percentEncodePathSegment(std::string_view segment) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(segment.size());
    for (unsigned char c : segment) {
        if (isSegmentChar(c)) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2])) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string fileUrlString(const std::filesystem::path& path) {
    std::string absolute = std::filesystem::absolute(path).generic_string();
    std::string out = "file://";
    size_t start = 0;
    while (start < absolute.size()) {
        size_t slash = absolute.find('/', start);
        if (slash == std::string::npos) {
            slash = absolute.size();
        }
        out += percentEncodePathSegment(std::string_view(absolute).substr(start, slash - start));
        if (slash < absolute.size()) {
            out += '/';
        }
        start = slash + 1;
    }
    return out;
}

std::optional<Url> Url::parse(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    for (unsigned char c : text) {
        if (isForbidden(c)) {
            return std::nullopt;
        }
    }
    if (!escapesAreWellFormed(text)) {
        return std::nullopt;
    }
    Url url;
    std::string_view rest = text;

    if (isSchemeStart(rest.front())) {
        size_t i = 1;
        while (i < rest.size() && isSchemeChar(rest[i])) {
            ++i;
        }
        if (i < rest.size() && rest[i] == ':') {
            url.scheme_ = std::string(rest.substr(0, i));
            for (char& c : url.scheme_) { // schemes compare without case; keep the canonical form
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            rest.remove_prefix(i + 1);
        }
    }

    if (rest.substr(0, 2) == "//") {
        rest.remove_prefix(2);
        size_t end = rest.find_first_of("/?#");
        std::string_view authority = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
        url.hasAuthority_ = true;
        if (size_t at = authority.rfind('@'); at != std::string_view::npos) {
            url.user_ = std::string(authority.substr(0, at));
            authority.remove_prefix(at + 1);
        }
        std::string_view hostPart = authority;
        std::string_view portPart;
        bool hasPort = false;
        if (!authority.empty() && authority.front() == '[') {
            size_t close = authority.find(']');
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            hostPart = authority.substr(0, close + 1);
            std::string_view after = authority.substr(close + 1);
            if (!after.empty()) {
                if (after.front() != ':') {
                    return std::nullopt;
                }
                hasPort = true;
                portPart = after.substr(1);
            }
        } else if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
            hostPart = authority.substr(0, colon);
            portPart = authority.substr(colon + 1);
            hasPort = true;
        }
        if (hostPart.find_first_of("[]") != std::string_view::npos && hostPart.front() != '[') {
            return std::nullopt;
        }
        url.host_ = std::string(hostPart);
        if (hasPort && !portPart.empty()) {
            if (portPart.size() > 5) {
                return std::nullopt;
            }
            int port = 0;
            for (char c : portPart) {
                if (!std::isdigit(static_cast<unsigned char>(c))) {
                    return std::nullopt;
                }
                port = port * 10 + (c - '0');
            }
            if (port > 65535) {
                return std::nullopt;
            }
            url.port_ = port;
        }
    }

    size_t pathEnd = rest.find_first_of("?#");
    url.path_ = std::string(rest.substr(0, pathEnd));
    rest.remove_prefix(pathEnd == std::string_view::npos ? rest.size() : pathEnd);
    if (!rest.empty() && rest.front() == '?') {
        size_t queryEnd = rest.find('#');
        url.query_ = std::string(
            rest.substr(1, queryEnd == std::string_view::npos ? std::string_view::npos : queryEnd - 1));
        rest.remove_prefix(queryEnd == std::string_view::npos ? rest.size() : queryEnd);
    }
    if (!rest.empty() && rest.front() == '#') {
        url.fragment_ = std::string(rest.substr(1));
    }
    if (url.path_.find_first_of("[]") != std::string::npos) {
        return std::nullopt;
    }
    return url;
}

std::string Url::lastPathComponent() const {
    if (path_.empty()) {
        return "";
    }
    std::string_view p = path_;
    while (p.size() > 1 && p.back() == '/') {
        p.remove_suffix(1);
    }
    if (p == "/") {
        return "/";
    }
    size_t slash = p.rfind('/');
    return percentDecode(slash == std::string_view::npos ? p : p.substr(slash + 1));
}

Url Url::appendingPathComponent(std::string_view segment) const {
    Url result = *this;
    if (result.path_.empty() || result.path_.back() != '/') {
        if (!(result.path_.empty() && !hasAuthority_)) {
            result.path_ += '/';
        }
    }
    result.path_ += percentEncodePathSegment(segment);
    return result;
}

Url Url::appendingPath(std::string_view relativePath) const {
    Url result = *this;
    size_t start = 0;
    while (start <= relativePath.size()) {
        size_t slash = relativePath.find('/', start);
        std::string_view segment = relativePath.substr(
            start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
        if (!segment.empty()) {
            result = result.appendingPathComponent(segment);
        }
        if (slash == std::string_view::npos) {
            break;
        }
        start = slash + 1;
    }
    return result;
}

Url Url::withPathAndQuery(std::string path, std::optional<std::string> query) const {
    Url result = *this;
    result.path_ = std::move(path);
    result.query_ = std::move(query);
    result.fragment_.reset();
    return result;
}

std::string Url::absoluteString() const {
    std::string out;
    if (!scheme_.empty()) {
        out += scheme_ + ":";
    }
    if (hasAuthority_) {
        out += "//";
        if (!user_.empty()) {
            out += user_ + "@";
        }
        out += host_;
        if (port_) {
            out += ":" + std::to_string(*port_);
        }
    }
    out += path_;
    if (query_) {
        out += "?" + *query_;
    }
    if (fragment_) {
        out += "#" + *fragment_;
    }
    return out;
}

} // namespace net
