#include "OrvaneCore/Text/Normalization.h"

#include "OrvaneCore/Text/CharacterProperties.h"
#include "OrvaneCore/Text/Encoding.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

namespace orvane::text {

namespace {

const icu::Normalizer2& normalizer(NormalizationForm form) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* instance = nullptr;
    switch (form) {
    case NormalizationForm::nfc:
        instance = icu::Normalizer2::getNFCInstance(status);
        break;
    case NormalizationForm::nfd:
        instance = icu::Normalizer2::getNFDInstance(status);
        break;
    case NormalizationForm::nfkc:
        instance = icu::Normalizer2::getNFKCInstance(status);
        break;
    case NormalizationForm::nfkd:
        instance = icu::Normalizer2::getNFKDInstance(status);
        break;
    }
    if (U_FAILURE(status) || instance == nullptr) {
        throw std::runtime_error(std::string("Unicode normalization data unavailable: ") +
                                 u_errorName(status));
    }
    return *instance;
}

void check(UErrorCode status) {
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("Unicode normalization failed: ") + u_errorName(status));
    }
}

void requireIcuLength(std::size_t length) {
    if (length > static_cast<std::size_t>(INT32_MAX)) {
        throw std::length_error("Text too long for normalization");
    }
}

// ASCII is invariant under all four forms: most tokenizer input takes this exit.
bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string normalize(std::string_view utf8, NormalizationForm form) {
    if (isAscii(utf8)) {
        return std::string(utf8);
    }
    if (!isValidUtf8(utf8)) {
        return normalize(decodeUtf8(utf8), form);
    }
    requireIcuLength(utf8.size());
    std::string out;
    out.reserve(utf8.size());
    icu::StringByteSink<std::string> sink(&out);
    UErrorCode status = U_ZERO_ERROR;
    normalizer(form).normalizeUTF8(0, icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())), sink,
                                   nullptr, status);
    check(status);
    return out;
}

std::u16string normalize(std::u16string_view utf16, NormalizationForm form) {
    requireIcuLength(utf16.size());
    const icu::UnicodeString input(false, utf16.data(), static_cast<int32_t>(utf16.size()));
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString result = normalizer(form).normalize(input, status);
    check(status);
    return std::u16string(result.getBuffer(), std::size_t(result.length()));
}

bool isNormalized(std::string_view utf8, NormalizationForm form) {
    if (isAscii(utf8)) {
        return true;
    }
    if (!isValidUtf8(utf8)) {
        return false;
    }
    requireIcuLength(utf8.size());
    UErrorCode status = U_ZERO_ERROR;
    const bool normalized = normalizer(form).isNormalizedUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())), status);
    check(status);
    return normalized;
}

std::string canonicalKey(std::string_view utf8) {
    return normalize(utf8, NormalizationForm::nfc);
}

bool canonicallyEquivalent(std::string_view a, std::string_view b) {
    return a == b || canonicalKey(a) == canonicalKey(b);
}

std::string removingDiacritics(std::string_view utf8) {
    if (isAscii(utf8)) {
        return std::string(utf8);
    }
    std::string stripped;
    forEachCodePoint(normalize(utf8, NormalizationForm::nfd), [&](char32_t c) {
        if (generalCategory(c) != GeneralCategory::Mn) {
            appendUtf8(stripped, c);
        }
    });
    return normalize(stripped, NormalizationForm::nfc);
}

} // namespace orvane::text
