#include "OrvaneCore/External/Hub/BinaryDistinctString.h"

#include "OrvaneCore/External/Hub/BinaryDistinctCharacter.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

namespace orvane {

namespace {

constexpr UChar32 kReplacement = 0xFFFD;

bool isAscii(std::u16string_view units) {
    return std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x80; });
}

[[noreturn]] void indexOutOfBounds() {
    throw std::out_of_range("Index out of bounds");
}

// Calls visit(start, end) with the unit range of every extended grapheme cluster, in order.
template <typename Visit> void forEachCharacter(std::u16string_view units, Visit visit) {
    if (units.empty()) {
        return;
    }
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> created(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            throw std::runtime_error("ICU character boundaries are unavailable");
        }
        return created;
    }();
    icu::UnicodeString alias(false, units.data(), static_cast<int32_t>(units.size()));
    iterator->setText(alias);
    int32_t start = iterator->first();
    for (int32_t end = iterator->next(); end != icu::BreakIterator::DONE; end = iterator->next()) {
        visit(static_cast<std::size_t>(start), static_cast<std::size_t>(end));
        start = end;
    }
}

// The unit offset of every scalar position 0 through the scalar count.
std::vector<std::size_t> scalarOffsets(std::u16string_view units) {
    std::vector<std::size_t> offsets;
    offsets.reserve(units.size() + 1);
    std::size_t i = 0;
    while (i < units.size()) {
        offsets.push_back(i);
        i += (U16_IS_LEAD(units[i]) && i + 1 < units.size() && U16_IS_TRAIL(units[i + 1])) ? 2 : 1;
    }
    offsets.push_back(units.size());
    return offsets;
}

const icu::Normalizer2& nfd() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* instance = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("ICU normalization is unavailable");
    }
    return *instance;
}

std::u16string decomposed(const icu::Normalizer2& normalizer, std::u16string_view units) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString source(false, units.data(), static_cast<int32_t>(units.size()));
    icu::UnicodeString result = normalizer.normalize(source, status);
    return std::u16string(result.getBuffer(), static_cast<std::size_t>(result.length()));
}

std::u16string literalReplace(std::u16string_view text, std::u16string_view target,
                              std::u16string_view replacement) {
    std::u16string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(target); at != std::u16string_view::npos; at = text.find(target, from)) {
        out.append(text.substr(from, at - from)).append(replacement);
        from = at + target.size();
    }
    out.append(text.substr(from));
    return out;
}

} // namespace

BinaryDistinctString::BinaryDistinctString(std::string_view utf8) {
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        value_.assign(utf8.begin(), utf8.end());
        return;
    }
    // UTF-16 never needs more units than UTF-8 has bytes.
    value_.resize(utf8.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(value_.data(), static_cast<int32_t>(value_.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), kReplacement, nullptr, &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("UTF-8 conversion failed: " + std::string(u_errorName(status)));
    }
    value_.resize(static_cast<std::size_t>(length));
}

BinaryDistinctString::BinaryDistinctString(const BinaryDistinctCharacter& character)
    : value_(character.bytes()) {}

BinaryDistinctString::BinaryDistinctString(const std::vector<BinaryDistinctCharacter>& characters) {
    for (const auto& character : characters) {
        value_ += character.bytes();
    }
}

std::string BinaryDistinctString::string() const {
    if (isAscii(value_)) {
        return std::string(value_.begin(), value_.end());
    }
    std::string out(value_.size() * 3, '\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, value_.data(),
                       static_cast<int32_t>(value_.size()), kReplacement, nullptr, &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("UTF-16 conversion failed: " + std::string(u_errorName(status)));
    }
    out.resize(static_cast<std::size_t>(length));
    return out;
}

std::ptrdiff_t BinaryDistinctString::count() const {
    if (isAscii(value_)) {
        // CR LF is the only ASCII pair that forms one character.
        std::ptrdiff_t pairs = 0;
        for (std::size_t i = 1; i < value_.size(); ++i) {
            pairs += (value_[i - 1] == u'\r' && value_[i] == u'\n') ? 1 : 0;
        }
        return static_cast<std::ptrdiff_t>(value_.size()) - pairs;
    }
    std::ptrdiff_t n = 0;
    forEachCharacter(value_, [&](std::size_t, std::size_t) { ++n; });
    return n;
}

std::ptrdiff_t BinaryDistinctString::index(std::ptrdiff_t i, std::ptrdiff_t n) const {
    std::ptrdiff_t result = i + n;
    if (result < 0 || result > count()) {
        indexOutOfBounds();
    }
    return result;
}

std::optional<std::ptrdiff_t> BinaryDistinctString::index(std::ptrdiff_t i, std::ptrdiff_t n,
                                                          std::ptrdiff_t limit) const {
    if (i + n > limit) {
        return std::nullopt;
    }
    return index(i, n);
}

std::vector<BinaryDistinctCharacter> BinaryDistinctString::characters() const {
    std::vector<BinaryDistinctCharacter> out;
    forEachCharacter(value_, [&](std::size_t start, std::size_t end) {
        out.push_back(BinaryDistinctCharacter(std::u16string(value_.data() + start, end - start)));
    });
    return out;
}

bool BinaryDistinctString::hasPrefix(const BinaryDistinctString& prefix) const {
    return prefix.value_.size() <= value_.size() && view().starts_with(prefix.view());
}

bool BinaryDistinctString::hasSuffix(const BinaryDistinctString& suffix) const {
    return suffix.value_.size() <= value_.size() && view().ends_with(suffix.view());
}

BinaryDistinctString BinaryDistinctString::lowercased() const {
    std::u16string out;
    out.reserve(value_.size());
    for (std::size_t i = 0; i < value_.size();) {
        char16_t unit = value_[i];
        if (unit < 0x80) {
            out.push_back(unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit);
            ++i;
            continue;
        }
        std::size_t width =
            (U16_IS_LEAD(unit) && i + 1 < value_.size() && U16_IS_TRAIL(value_[i + 1])) ? 2 : 1;
        // One scalar at a time, so no context rule (final sigma) applies.
        UChar mapped[8];
        UErrorCode status = U_ZERO_ERROR;
        int32_t length = u_strToLower(mapped, 8, value_.data() + i, static_cast<int32_t>(width), "", &status);
        if (U_SUCCESS(status)) {
            out.append(mapped, mapped + length);
        } else {
            out.append(value_, i, width);
        }
        i += width;
    }
    return BinaryDistinctString(std::move(out));
}

BinaryDistinctString
BinaryDistinctString::replacingOccurrences(const BinaryDistinctString& target,
                                           const BinaryDistinctString& replacement) const {
    if (target.empty() || value_.empty()) {
        return *this;
    }
    const icu::Normalizer2& normalizer = nfd();
    UChar32 first = 0;
    U16_GET(target.value_.data(), 0, 0, static_cast<int32_t>(target.value_.size()), first);
    if (!normalizer.hasBoundaryBefore(first)) {
        // A target that starts inside a combining sequence can only be found unit for unit.
        return BinaryDistinctString(literalReplace(value_, target.value_, replacement.value_));
    }
    // Cut the text where decomposition cannot reach across, so the decomposed pieces concatenate to
    // the decomposed text, and match the decomposed target against runs of whole pieces.
    std::vector<std::size_t> cuts;
    std::size_t i = 0;
    while (i < value_.size()) {
        UChar32 c = 0;
        std::size_t at = i;
        U16_NEXT(value_.data(), i, value_.size(), c);
        if (at == 0 || normalizer.hasBoundaryBefore(c)) {
            cuts.push_back(at);
        }
    }
    cuts.push_back(value_.size());
    std::vector<std::u16string> pieces;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
        pieces.push_back(
            decomposed(normalizer, std::u16string_view(value_).substr(cuts[k], cuts[k + 1] - cuts[k])));
    }
    const std::u16string wanted = decomposed(normalizer, target.value_);
    std::u16string out;
    for (std::size_t k = 0; k < pieces.size();) {
        std::u16string run;
        std::size_t end = k;
        while (end < pieces.size() && run.size() < wanted.size()) {
            run += pieces[end++];
            if (!std::u16string_view(wanted).starts_with(run)) {
                break;
            }
        }
        if (run == wanted) {
            out += replacement.value_;
            k = end;
        } else {
            out.append(value_, cuts[k], cuts[k + 1] - cuts[k]);
            ++k;
        }
    }
    return BinaryDistinctString(std::move(out));
}

BinaryDistinctString BinaryDistinctString::slice(std::ptrdiff_t lower, std::ptrdiff_t upper) const {
    if (lower < 0 || upper < lower || upper > count()) {
        indexOutOfBounds();
    }
    std::vector<std::size_t> offsets = scalarOffsets(value_);
    auto last = static_cast<std::ptrdiff_t>(offsets.size()) - 1;
    std::size_t from = offsets[static_cast<std::size_t>(std::min(lower, last))];
    std::size_t to = offsets[static_cast<std::size_t>(std::min(upper, last))];
    return BinaryDistinctString(value_.substr(from, to - from));
}

BinaryDistinctString BinaryDistinctString::slice(std::ptrdiff_t lower) const {
    if (lower < 0 || lower > count()) {
        indexOutOfBounds();
    }
    std::vector<std::size_t> offsets = scalarOffsets(value_);
    return BinaryDistinctString(value_.substr(offsets[static_cast<std::size_t>(lower)]));
}

} // namespace orvane
