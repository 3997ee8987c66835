// The regular-expression wrapper with expressions from tokenizer files: a pattern compiles or is
// refused, and every search ends (with its matches, or an error saying it gave up) within its limits.
// Input: the pattern, a line "@@@@", the text.

#include "Fuzz/FuzzSupport.h"
#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Regex.h"
#include "OrvaneCore/Text/RegexError.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto documents = fuzz::parts(data, size, 2);
    std::optional<orvane::text::Regex> regex;
    try {
        regex.emplace(documents[0]);
    } catch (const orvane::text::RegexError&) {
        return 0;
    }
    const std::u16string text = orvane::text::toUtf16(documents[1]);
    try {
        for (const auto& match : regex->findAll(text)) {
            for (const auto& group : match.groups) {
                if (group && (group->start > group->end || group->end > text.size())) {
                    std::abort();
                }
            }
        }
        (void)regex->matchedTexts(documents[1]);
        (void)regex->replaceAll(documents[1], "<$0>");
    } catch (const orvane::text::RegexError& error) {
        if (!error.searchGaveUp() && error.reason() != "U_INDEX_OUTOFBOUNDS_ERROR") {
            std::abort(); // a compiled pattern may only give up, or lack the group a template names
        }
    }
    return 0;
}
