#include "OrvaneCore/Text/BreakIterators.h"

#include <climits>
#include <memory>
#include <stdexcept>
#include <string>
#include <unicode/locid.h>

namespace orvane::text::detail {

namespace {

using IteratorFactory = icu::BreakIterator* (*)(const icu::Locale&, UErrorCode&);

std::unique_ptr<icu::BreakIterator> make(IteratorFactory factory, const char* kind) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(factory(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !iterator) {
        throw std::runtime_error(std::string("Cannot create the ") + kind +
                                 " break iterator: " + u_errorName(status));
    }
    return iterator;
}

// The UText lives with the iterator it is set on: setText keeps a shallow clone that refers to the text.
struct ThreadIterator {
    std::unique_ptr<icu::BreakIterator> iterator;
    UText text = UTEXT_INITIALIZER;
    ~ThreadIterator() { utext_close(&text); }
};

icu::BreakIterator& bind(ThreadIterator& slot, UText* opened, UErrorCode status) {
    if (U_SUCCESS(status)) {
        slot.iterator->setText(opened, status);
    }
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("Cannot set break iterator text: ") + u_errorName(status));
    }
    return *slot.iterator;
}

void requireIcuLength(std::size_t length) {
    if (length > static_cast<std::size_t>(INT32_MAX)) {
        throw std::length_error("Text too long for boundary analysis");
    }
}

ThreadIterator& characterSlot() {
    thread_local ThreadIterator slot{make(&icu::BreakIterator::createCharacterInstance, "character")};
    return slot;
}

} // namespace

icu::BreakIterator& characterIterator(std::u16string_view text) {
    requireIcuLength(text.size());
    ThreadIterator& slot = characterSlot();
    UErrorCode status = U_ZERO_ERROR;
    UText* opened = utext_openUChars(&slot.text, text.data(), static_cast<int64_t>(text.size()), &status);
    return bind(slot, opened, status);
}

icu::BreakIterator& characterIterator(std::string_view utf8) {
    requireIcuLength(utf8.size());
    ThreadIterator& slot = characterSlot();
    UErrorCode status = U_ZERO_ERROR;
    UText* opened = utext_openUTF8(&slot.text, utf8.data(), static_cast<int64_t>(utf8.size()), &status);
    return bind(slot, opened, status);
}

icu::BreakIterator& sentenceIterator(std::u16string_view text) {
    requireIcuLength(text.size());
    thread_local ThreadIterator slot{make(&icu::BreakIterator::createSentenceInstance, "sentence")};
    UErrorCode status = U_ZERO_ERROR;
    UText* opened = utext_openUChars(&slot.text, text.data(), static_cast<int64_t>(text.size()), &status);
    return bind(slot, opened, status);
}

} // namespace orvane::text::detail
