#include "OrvaneCore/External/Hub/Configuration/Config.h"

#include "OrvaneCore/Logging/Describing.h"
#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"

#include <unicode/utf16.h>

namespace orvane {

namespace {

bool isUppercaseLetter(UChar32 c) {
    const text::GeneralCategory category = text::generalCategory(static_cast<char32_t>(c));
    return category == text::GeneralCategory::Lu || category == text::GeneralCategory::Lt;
}

bool hasUppercaseLetter(std::u16string_view units) {
    for (std::size_t i = 0; i < units.size();) {
        UChar32 c = 0;
        U16_NEXT(units.data(), i, units.size(), c);
        if (c < 0x80 ? (c >= 'A' && c <= 'Z') : isUppercaseLetter(c)) {
            return true;
        }
    }
    return false;
}

template <typename Range, typename Item> std::string listText(const Range& range, Item item) {
    std::string text = "[";
    bool first = true;
    for (const auto& element : range) {
        if (!first) {
            text += ", ";
        }
        first = false;
        text += item(element);
    }
    return text + "]";
}

bool integerEqualsFloat(std::int64_t integer, float number) {
    return static_cast<float>(integer) == number;
}

} // namespace

const Config& Config::null() {
    static const Config instance;
    return instance;
}

Config Config::fromPairs(std::initializer_list<std::pair<BinaryDistinctString, Config>> pairs) {
    Dictionary entries;
    for (const auto& [key, value] : pairs) {
        entries.insert_or_assign(key, value);
    }
    return Config(std::move(entries));
}

const Config* Config::find(const BinaryDistinctString& key) const {
    const Dictionary* entries = dictionary();
    if (entries == nullptr) {
        return nullptr;
    }
    if (entries->empty()) {
        return &null();
    }
    if (auto found = entries->find(key.view()); found != entries->end()) {
        return &found->second;
    }
    if (!hasUppercaseLetter(key.view())) {
        return &null();
    }
    if (auto found = entries->find(uncamelCase(key).view()); found != entries->end()) {
        return &found->second;
    }
    return &null();
}

const Config* Config::find(std::string_view name) const {
    if (dictionary() == nullptr) {
        return nullptr;
    }
    return find(BinaryDistinctString(name));
}

const Config& Config::operator[](const BinaryDistinctString& key) const {
    const Config* found = find(key);
    return found != nullptr ? *found : null();
}

const Config& Config::operator[](std::string_view name) const {
    const Config* found = find(name);
    return found != nullptr ? *found : null();
}

BinaryDistinctString Config::uncamelCase(const BinaryDistinctString& key) {
    const std::u16string& units = key.value();
    if (!hasUppercaseLetter(units)) {
        return key;
    }
    std::u16string out;
    out.reserve(units.size() + 4);
    bool previousWasNotUppercase = false;
    for (std::size_t i = 0; i < units.size();) {
        std::size_t start = i;
        UChar32 c = 0;
        U16_NEXT(units.data(), i, units.size(), c);
        std::u16string_view scalar(units.data() + start, i - start);
        bool uppercase = isUppercaseLetter(c);
        if (uppercase) {
            if (previousWasNotUppercase) {
                out.push_back(u'_');
            }
            out += text::toUtf16(text::lowercaseMapping(static_cast<char32_t>(c)));
        } else {
            out.append(scalar);
        }
        previousWasNotUppercase = !uppercase;
    }
    return BinaryDistinctString(std::move(out));
}

std::optional<std::string> Config::string() const {
    if (const auto* text = binaryDistinctString()) {
        return text->string();
    }
    return std::nullopt;
}

std::optional<std::int64_t> Config::integer() const {
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return *number;
    }
    return std::nullopt;
}

std::optional<float> Config::floating() const {
    if (const auto* number = std::get_if<float>(&value)) {
        return *number;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return static_cast<float>(*number);
    }
    return std::nullopt;
}

std::optional<bool> Config::boolean() const {
    if (const auto* flag = std::get_if<bool>(&value)) {
        return *flag;
    }
    if (const auto* number = std::get_if<std::int64_t>(&value)) {
        return *number == 1;
    }
    if (const auto* text = binaryDistinctString()) {
        const std::u16string lower = text->lowercased().value();
        if (lower == u"true" || lower == u"t" || lower == u"1") {
            return true;
        }
        if (lower == u"false" || lower == u"f" || lower == u"0") {
            return false;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<std::uint64_t, std::string>> Config::token() const {
    if (const auto* pair = std::get_if<Token>(&value)) {
        return std::make_pair(pair->id, pair->text.string());
    }
    const Array* elements = array();
    if (elements == nullptr || elements->size() != 2) {
        return std::nullopt;
    }
    auto text = (*elements)[0].string();
    auto id = (*elements)[1].integer();
    if (!text || !id || *id < 0) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<std::uint64_t>(*id), std::move(*text));
}

std::optional<std::vector<std::string>> Config::get() const {
    const Array* elements = array();
    if (elements == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> texts;
    for (const Config& element : *elements) {
        if (auto text = element.string()) {
            texts.push_back(std::move(*text));
        }
    }
    return texts;
}

std::string Config::description() const {
    switch (kind()) {
    case Kind::string:
        return "\"" + std::get<BinaryDistinctString>(value).string() + "\"";
    case Kind::integer:
        return std::to_string(std::get<std::int64_t>(value));
    case Kind::boolean:
        return std::get<bool>(value) ? "true" : "false";
    case Kind::floating:
        return describing(std::get<float>(value));
    case Kind::dictionary: {
        const auto& entries = std::get<Dictionary>(value);
        // An empty map's list text is "[:]".
        if (entries.empty()) {
            return "{[:]}";
        }
        return "{" +
               listText(entries,
                        [](const auto& entry) {
                            return entry.first.string() + ": " + entry.second.description();
                        }) +
               "}";
    }
    case Kind::array:
        return "[" +
               listText(std::get<Array>(value), [](const Config& element) { return element.description(); }) +
               "]";
    case Kind::token: {
        const auto& pair = std::get<Token>(value);
        return "(" + std::to_string(pair.id) + ", " + pair.text.string() + ")";
    }
    case Kind::null:
        break;
    }
    return "null";
}

bool operator==(const Config& a, const Config& b) {
    using Kind = Config::Kind;
    Kind ka = a.kind();
    Kind kb = b.kind();
    // Mixed pairs are listed once, with the lower kind number first.
    if (ka > kb) {
        return b == a;
    }
    const auto& x = a.value;
    const auto& y = b.value;
    switch (ka) {
    case Kind::string:
        if (kb == Kind::string) {
            return std::get<BinaryDistinctString>(x) == std::get<BinaryDistinctString>(y);
        }
        if (kb == Kind::boolean) {
            auto reading = a.boolean();
            return reading && *reading == std::get<bool>(y);
        }
        return false;
    case Kind::integer:
        switch (kb) {
        case Kind::integer:
            return std::get<std::int64_t>(x) == std::get<std::int64_t>(y);
        case Kind::floating:
            return integerEqualsFloat(std::get<std::int64_t>(x), std::get<float>(y));
        case Kind::boolean:
            return (std::get<std::int64_t>(x) == 1) == std::get<bool>(y);
        default:
            return false;
        }
    case Kind::boolean:
        return kb == Kind::boolean && std::get<bool>(x) == std::get<bool>(y);
    case Kind::floating:
        return kb == Kind::floating && std::get<float>(x) == std::get<float>(y);
    case Kind::dictionary: {
        if (kb != Kind::dictionary) {
            return false;
        }
        const auto& left = std::get<Config::Dictionary>(x);
        const auto& right = std::get<Config::Dictionary>(y);
        if (left.size() != right.size()) {
            return false;
        }
        for (const auto& [key, element] : left) {
            auto found = right.find(key.view());
            if (found == right.end() || !(element == found->second)) {
                return false;
            }
        }
        return true;
    }
    case Kind::array:
        return kb == Kind::array && std::get<Config::Array>(x) == std::get<Config::Array>(y);
    case Kind::token:
        return kb == Kind::token && std::get<Config::Token>(x) == std::get<Config::Token>(y);
    case Kind::null:
        return kb == Kind::null;
    }
    return false;
}

} // namespace orvane
