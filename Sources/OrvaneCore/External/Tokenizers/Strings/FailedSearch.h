#pragma once
// What a tokenizer stage does when its expression gives up on a text (too many backtracking steps, or
// too much backtracking stack): encoding never fails, so the stage keeps the text as it is and the
// failure is logged, once per stage and expression in a process, however often it recurs.

#include "OrvaneCore/Text/RegexError.h"

#include <string_view>

namespace orvane {

/// Logs at error level "<stage>: <error> (the text is kept whole)" the first time this stage and
/// expression fail; later failures of the same pair are silent.
void reportFailedSearch(std::string_view stage, const text::RegexError& error);

} // namespace orvane
