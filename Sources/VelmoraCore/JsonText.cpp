#include "VelmoraCore/JsonText.h"

#include "OrvaneCore/Logging/Describing.h"

#include <cstdio>

namespace velmora::json {

void appendString(std::string& out, std::string_view text, Slash slash) {
    out += '"';
    for (const char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '/': out += slash == Slash::escaped ? "\\/" : "/"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

std::string string(std::string_view text, Slash slash) {
    std::string out;
    appendString(out, text, slash);
    return out;
}

namespace {

template <class T> std::string numberText(T value) {
    std::string text = orvane::describing(value);
    if (text.ends_with(".0")) {
        text.resize(text.size() - 2);
    }
    return text;
}

} // namespace

std::string number(double value) {
    return numberText(value);
}

std::string number(float value) {
    return numberText(value);
}

} // namespace velmora::json
