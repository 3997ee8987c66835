#pragma once
// A dynamic, JSON-shaped value: what a repository's configuration files ("config.json",
// "tokenizer_config.json", "tokenizer.json") are read into, and what every tokenizer stage reads its
// settings from. Readers never throw: a missing member is null, a reader of the wrong kind gives nothing,
// and the caller applies its default.
//
// Configuration files arrive with JSON booleans as integer 1 or 0 (see ConfigJson.h), so read Boolean
// members with boolean(), which accepts 1, "true", "t" and "1".
//
// There is deliberately no std::hash<Config>: equality crosses kinds (integer 1 == floating 1.0 ==
// boolean true) and is not transitive (5 == false, 0 == false, 5 != 0), so no hash can agree with it.

#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctString.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace orvane {

class Config {
public:
    /// Keys are distinct by their exact UTF-16 units; iteration is in unit order.
    using Dictionary = std::map<BinaryDistinctString, Config, BinaryDistinctLess>;
    using Array = std::vector<Config>;
    struct Token {
        std::uint64_t id = 0;
        BinaryDistinctString text;
        friend bool operator==(const Token&, const Token&) = default;
    };
    struct Null {
        friend bool operator==(Null, Null) { return true; }
    };
    /// The payload; the alternatives' order is the kind's number (Kind).
    using Data =
        std::variant<BinaryDistinctString, std::int64_t, bool, float, Dictionary, Array, Token, Null>;
    enum class Kind { string, integer, boolean, floating, dictionary, array, token, null };

    Data value{Null{}};

    Config() = default;
    Config(Data data) : value(std::move(data)) {}
    Config(BinaryDistinctString text) : value(std::move(text)) {}
    Config(const char* utf8) : value(BinaryDistinctString(utf8)) {}
    Config(std::string_view utf8) : value(BinaryDistinctString(utf8)) {}
    Config(const std::string& utf8) : value(BinaryDistinctString(utf8)) {}
    Config(bool flag) : value(flag) {}
    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) Config(T number)
        : value(static_cast<std::int64_t>(number)) {}
    Config(float number) : value(number) {}
    Config(double number) : value(static_cast<float>(number)) {}
    Config(Dictionary entries) : value(std::move(entries)) {}
    Config(Array elements) : value(std::move(elements)) {}
    Config(Token token) : value(std::move(token)) {}

    /// The dictionary literal: when a key occurs twice, the later value replaces the earlier one.
    static Config fromPairs(std::initializer_list<std::pair<BinaryDistinctString, Config>> pairs);

    Kind kind() const { return static_cast<Kind>(value.index()); }
    bool isNull() const { return kind() == Kind::null; }

    /// Member lookup: the name as written, then its snake_case form; null when absent or when this is
    /// not a dictionary. Chains: a member of null is null. Callers write camelCase names.
    const Config& operator[](std::string_view name) const;
    const Config& operator[](const char* name) const { return (*this)[std::string_view(name)]; }
    const Config& operator[](const std::string& name) const { return (*this)[std::string_view(name)]; }
    const Config& operator[](const BinaryDistinctString& key) const;
    /// The same lookup, except that it gives nullptr (nothing) when this is not a dictionary.
    const Config* find(std::string_view name) const;
    const Config* find(const char* name) const { return find(std::string_view(name)); }
    const Config* find(const std::string& name) const { return find(std::string_view(name)); }
    const Config* find(const BinaryDistinctString& key) const;

    /// The snake_case form: each uppercase letter (Lu, Lt) lowercased, with "_" before the first of a run
    /// of capitals unless it starts the key. addPrefixSpace -> add_prefix_space, myURLValue -> my_urlvalue.
    static BinaryDistinctString uncamelCase(const BinaryDistinctString& key);

    /// The text of a string value (UTF-8).
    std::optional<std::string> string() const;
    /// The string payload itself, for callers that need exact units.
    const BinaryDistinctString* binaryDistinctString() const {
        return std::get_if<BinaryDistinctString>(&value);
    }
    /// An integer value only; a floating value gives nothing.
    std::optional<std::int64_t> integer() const;
    /// A floating value, or an integer converted to the nearest 32-bit float.
    std::optional<float> floating() const;
    /// Lenient: boolean; integer 1 is true and any other integer false; a string whose lower-case form is
    /// "true", "t" or "1" (or "false", "f", "0"); anything else gives nothing.
    std::optional<bool> boolean() const;
    const Array* array() const { return std::get_if<Array>(&value); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&value); }
    /// Writable forms, for callers that rewrite a document (a loader adding a chat template).
    Array* array() { return std::get_if<Array>(&value); }
    Dictionary* dictionary() { return std::get_if<Dictionary>(&value); }
    /// A token value, or an array of exactly [text, integer] (the order of tokenizer files) as
    /// (id, text). A negative integer is no id and gives nothing.
    std::optional<std::pair<std::uint64_t, std::string>> token() const;
    /// The texts of an array's string elements in order, other elements skipped.
    std::optional<std::vector<std::string>> get() const;

    /// Strings in double quotes without escaping, floats in their shortest form (integral ones with
    /// ".0"), arrays as [[1, 2]] and dictionaries as {[key: value]}.
    std::string description() const;

    /// Equality across kinds by fixed rules (integer 1 == floating 1.0 == boolean true; "T" == true).
    friend bool operator==(const Config& a, const Config& b);

    /// The null every failed lookup refers to.
    static const Config& null();
};

} // namespace orvane
