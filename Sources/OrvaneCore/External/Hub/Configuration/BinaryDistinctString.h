#pragma once
// Text compared, hashed and ordered by its exact UTF-16 code units, never by canonical equivalence:
// vocabularies and configuration files hold keys that render alike but differ in units (a precomposed
// letter against the same letter with a combining mark), and each must stay a key of its own.

#include <compare>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

class BinaryDistinctCharacter;

class BinaryDistinctString {
public:
    BinaryDistinctString() = default;
    /// Exactly these units; any sequence is valid, unpaired surrogates included.
    explicit BinaryDistinctString(std::u16string units) : value_(std::move(units)) {}
    explicit BinaryDistinctString(std::u16string_view units) : value_(units) {}
    explicit BinaryDistinctString(const char16_t* units) : value_(units) {}
    /// The UTF-16 units of UTF-8 text (invalid sequences become U+FFFD). Literals convert implicitly.
    BinaryDistinctString(const char* utf8) : BinaryDistinctString(std::string_view(utf8)) {}
    explicit BinaryDistinctString(std::string_view utf8);
    explicit BinaryDistinctString(const std::string& utf8) : BinaryDistinctString(std::string_view(utf8)) {}
    explicit BinaryDistinctString(const BinaryDistinctCharacter& character);
    explicit BinaryDistinctString(const std::vector<BinaryDistinctCharacter>& characters);

    const std::u16string& value() const { return value_; }
    std::u16string_view view() const { return value_; }
    bool empty() const { return value_.empty(); }

    /// The decoded text as UTF-8 (unpaired surrogates become U+FFFD).
    std::string string() const;
    std::string description() const { return string(); }

    /// User-perceived characters (extended grapheme clusters), not units.
    std::ptrdiff_t count() const;
    std::ptrdiff_t startIndex() const { return 0; }
    std::ptrdiff_t endIndex() const { return count(); }
    /// i + n; throws std::out_of_range("Index out of bounds") outside 0 through count().
    std::ptrdiff_t index(std::ptrdiff_t i, std::ptrdiff_t n) const;
    /// i + n, or nothing when it passes `limit`.
    std::optional<std::ptrdiff_t> index(std::ptrdiff_t i, std::ptrdiff_t n, std::ptrdiff_t limit) const;
    /// The user-perceived characters in order, each with its own units.
    std::vector<BinaryDistinctCharacter> characters() const;

    bool hasPrefix(const BinaryDistinctString& prefix) const;
    bool hasSuffix(const BinaryDistinctString& suffix) const;
    /// Full Unicode lower-case mapping, one scalar at a time (no context rules such as final sigma).
    BinaryDistinctString lowercased() const;
    /// Replaces every occurrence of `target`, matching canonically equivalent text as the same.
    BinaryDistinctString replacingOccurrences(const BinaryDistinctString& target,
                                              const BinaryDistinctString& replacement) const;

    /// The scalars at positions [lower, upper); bounds must lie in 0 through count(), else
    /// std::out_of_range("Index out of bounds").
    BinaryDistinctString slice(std::ptrdiff_t lower, std::ptrdiff_t upper) const;
    /// The scalars from position `lower` to the end.
    BinaryDistinctString slice(std::ptrdiff_t lower) const;

    friend BinaryDistinctString operator+(const BinaryDistinctString& a, const BinaryDistinctString& b) {
        return BinaryDistinctString(a.value_ + b.value_);
    }
    friend bool operator==(const BinaryDistinctString& a, const BinaryDistinctString& b) = default;
    /// Lexicographic over the units as unsigned 16-bit numbers; a proper prefix sorts first.
    friend std::strong_ordering operator<=>(const BinaryDistinctString& a, const BinaryDistinctString& b) {
        return a.value_ <=> b.value_;
    }

private:
    std::u16string value_;
};

/// Ordering that also accepts plain unit views, so maps keyed by BinaryDistinctString can be searched
/// without building a key.
struct BinaryDistinctLess {
    using is_transparent = void;
    static std::u16string_view units(const BinaryDistinctString& s) { return s.view(); }
    static std::u16string_view units(std::u16string_view s) { return s; }
    template <typename A, typename B> bool operator()(const A& a, const B& b) const {
        return units(a) < units(b);
    }
};

/// Adds every entry of `other` to `target`; a key present in both gets strategy(current, other's).
template <typename Map, typename Other, typename Strategy>
void merge(Map& target, const Other& other, Strategy strategy) {
    for (const auto& [key, value] : other) {
        BinaryDistinctString distinct(key);
        auto found = target.find(distinct);
        if (found == target.end()) {
            target.emplace(std::move(distinct), value);
        } else {
            found->second = strategy(found->second, value);
        }
    }
}

/// merge() on a copy, which is returned.
template <typename Map, typename Other, typename Strategy>
Map merging(const Map& target, const Other& other, Strategy strategy) {
    Map copy = target;
    merge(copy, other, strategy);
    return copy;
}

} // namespace orvane

template <> struct std::hash<orvane::BinaryDistinctString> {
    std::size_t operator()(const orvane::BinaryDistinctString& s) const noexcept {
        return std::hash<std::u16string_view>()(s.view());
    }
};
