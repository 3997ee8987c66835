#pragma once
// Per-thread ICU break iterators: creating one loads rule data and costs far more than using it, and an
// iterator holds per-text state, so each thread keeps its own. Internal to the text layer.

#include <string_view>
#include <unicode/brkiter.h>
#include <unicode/utext.h>

namespace orvane::text::detail {

/// This thread's character (grapheme-cluster) iterator, set to `text`; valid until the next call.
icu::BreakIterator& characterIterator(std::u16string_view text);
icu::BreakIterator& characterIterator(std::string_view utf8);

/// This thread's sentence iterator, set to `text`; valid until the next call.
icu::BreakIterator& sentenceIterator(std::u16string_view text);

} // namespace orvane::text::detail
