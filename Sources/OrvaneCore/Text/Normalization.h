#pragma once
// Unicode normalization forms and canonical equivalence: texts that differ only in composed versus
// decomposed form (precomposed "é" versus "e" + U+0301) are the same text for vocabulary lookups.

#include <string>
#include <string_view>

namespace orvane::text {

enum class NormalizationForm { nfc, nfd, nfkc, nfkd };

/// UTF-8 text in the given normalization form (invalid input decoded with U+FFFD first).
std::string normalize(std::string_view utf8, NormalizationForm form);

/// UTF-16 text in the given normalization form.
std::u16string normalize(std::u16string_view utf16, NormalizationForm form);

/// True when the UTF-8 text is already in the given form.
bool isNormalized(std::string_view utf8, NormalizationForm form);

/// A key equal for exactly the canonically equivalent texts (their NFC form); use it for maps.
std::string canonicalKey(std::string_view utf8);

/// True when the two texts are canonically equivalent.
bool canonicallyEquivalent(std::string_view a, std::string_view b);

/// Text with nonspacing marks removed after canonical decomposition, recomposed ("Héllo" -> "Hello").
std::string removingDiacritics(std::string_view utf8);

} // namespace orvane::text
