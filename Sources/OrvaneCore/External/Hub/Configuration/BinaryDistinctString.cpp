#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctString.h"

#include "OrvaneCore/External/Hub/Configuration/BinaryDistinctCharacter.h"
#include "OrvaneCore/Text/CaseMapping.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/Normalization.h"

#include <stdexcept>
#include <unicode/normalizer2.h>
#include <unicode/utf16.h>

namespace orvane {

namespace {

[[noreturn]] void indexOutOfBounds() {
    throw std::out_of_range("Index out of bounds");
}

// The unit offset of every scalar position 0 through the scalar count.
std::vector<std::size_t> scalarOffsets(std::u16string_view units) {
    std::vector<std::size_t> offsets;
    offsets.reserve(units.size() + 1);
    for (std::size_t i = 0; i < units.size();) {
        offsets.push_back(i);
        U16_FWD_1(units.data(), i, units.size());
    }
    offsets.push_back(units.size());
    return offsets;
}

// Where decomposition cannot reach across; the text layer does not offer these boundaries.
const icu::Normalizer2& decomposition() {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* instance = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("Unicode normalization data is unavailable");
    }
    return *instance;
}

std::u16string decomposed(std::u16string_view units) {
    return text::normalize(units, text::NormalizationForm::nfd);
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

BinaryDistinctString::BinaryDistinctString(std::string_view utf8) : value_(text::toUtf16(utf8)) {}

BinaryDistinctString::BinaryDistinctString(const BinaryDistinctCharacter& character)
    : value_(character.bytes()) {}

BinaryDistinctString::BinaryDistinctString(const std::vector<BinaryDistinctCharacter>& characters) {
    for (const auto& character : characters) {
        value_ += character.bytes();
    }
}

std::string BinaryDistinctString::string() const {
    return text::toUtf8(value_);
}

std::ptrdiff_t BinaryDistinctString::count() const {
    return static_cast<std::ptrdiff_t>(text::graphemeCount(std::u16string_view(value_)));
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
    if (value_.empty()) {
        return out;
    }
    const std::vector<std::size_t> bounds = text::graphemeBoundaries(value_);
    for (std::size_t k = 0; k + 1 < bounds.size(); ++k) {
        out.push_back(BinaryDistinctCharacter(value_.substr(bounds[k], bounds[k + 1] - bounds[k])));
    }
    return out;
}

bool BinaryDistinctString::hasPrefix(const BinaryDistinctString& prefix) const {
    return prefix.value_.size() <= value_.size() && view().starts_with(prefix.view());
}

bool BinaryDistinctString::hasSuffix(const BinaryDistinctString& suffix) const {
    return suffix.value_.size() <= value_.size() && view().ends_with(suffix.view());
}

BinaryDistinctString BinaryDistinctString::lowercased() const {
    return BinaryDistinctString(text::lowercased(string()));
}

BinaryDistinctString
BinaryDistinctString::replacingOccurrences(const BinaryDistinctString& target,
                                           const BinaryDistinctString& replacement) const {
    if (target.empty() || value_.empty()) {
        return *this;
    }
    const icu::Normalizer2& normalizer = decomposition();
    UChar32 first = 0;
    U16_GET(target.value_.data(), 0, 0, static_cast<int32_t>(target.value_.size()), first);
    if (!normalizer.hasBoundaryBefore(first)) {
        // A target that starts inside a combining sequence can only be found unit for unit.
        return BinaryDistinctString(literalReplace(value_, target.value_, replacement.value_));
    }
    // Cut the text where decomposition cannot reach across, so that the decomposed pieces concatenate to
    // the decomposed text, then match the decomposed target against runs of whole pieces.
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < value_.size();) {
        const std::size_t at = i;
        UChar32 c = 0;
        U16_NEXT(value_.data(), i, value_.size(), c);
        if (at == 0 || normalizer.hasBoundaryBefore(c)) {
            cuts.push_back(at);
        }
    }
    cuts.push_back(value_.size());
    std::vector<std::u16string> pieces;
    for (std::size_t k = 0; k + 1 < cuts.size(); ++k) {
        pieces.push_back(decomposed(std::u16string_view(value_).substr(cuts[k], cuts[k + 1] - cuts[k])));
    }
    const std::u16string wanted = decomposed(target.value_);
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
    // Positions count scalars; count() (characters) never exceeds the scalar count.
    const std::vector<std::size_t> offsets = scalarOffsets(value_);
    const std::size_t from = offsets[static_cast<std::size_t>(lower)];
    const std::size_t to = offsets[static_cast<std::size_t>(upper)];
    return BinaryDistinctString(value_.substr(from, to - from));
}

BinaryDistinctString BinaryDistinctString::slice(std::ptrdiff_t lower) const {
    if (lower < 0 || lower > count()) {
        indexOutOfBounds();
    }
    return BinaryDistinctString(value_.substr(scalarOffsets(value_)[static_cast<std::size_t>(lower)]));
}

} // namespace orvane
