#include "Sonavex/Core/Tokenizer/DominantLanguage.h"

#include "OrvaneCore/Text/Encoding.h"

#include <map>
#include <unicode/uscript.h>

namespace sonavex {

std::optional<std::string> dominantLanguageCode(std::string_view utf8) {
    std::map<std::string, size_t> counts; // "" collects the scripts that name no language
    size_t han = 0;
    orvane::text::forEachCodePoint(utf8, [&](char32_t codePoint) {
        UErrorCode status = U_ZERO_ERROR;
        const UScriptCode script = uscript_getScript(static_cast<UChar32>(codePoint), &status);
        if (U_FAILURE(status)) {
            return;
        }
        switch (script) {
        case USCRIPT_COMMON:
        case USCRIPT_INHERITED:
        case USCRIPT_UNKNOWN:
            return; // digits, punctuation, spaces, marks: no vote
        case USCRIPT_HAN:
            ++han;
            return;
        case USCRIPT_HIRAGANA:
        case USCRIPT_KATAKANA:
            ++counts["ja"];
            return;
        case USCRIPT_THAI:
            ++counts["th"];
            return;
        case USCRIPT_LAO:
            ++counts["lo"];
            return;
        case USCRIPT_MYANMAR:
            ++counts["my"];
            return;
        case USCRIPT_HANGUL:
            ++counts["ko"];
            return;
        default:
            ++counts[""];
            return;
        }
    });
    // Japanese mixes Han characters into kana text: they count for Japanese once kana are there.
    if (han > 0) {
        counts[counts.count("ja") ? "ja" : "zh"] += han;
    }
    const std::string* best = nullptr;
    size_t bestCount = 0;
    for (const auto& [code, count] : counts) {
        if (count > bestCount) {
            best = &code;
            bestCount = count;
        }
    }
    if (!best || best->empty()) {
        return std::nullopt;
    }
    return *best;
}

} // namespace sonavex
