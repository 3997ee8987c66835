#include "OrvaneCore/Text/Regex.h"

#include "OrvaneCore/Text/Encoding.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/RegexError.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <mutex>
#include <unicode/regex.h>
#include <unicode/utypes.h>

namespace orvane::text {

// The compiled pattern is immutable and shared by copies of a Regex. Matchers carry per-search state,
// so each search borrows one from a small pool: threads never share a matcher, and a busy tokenizer
// does not allocate a new one for every call.
struct Regex::State {
    std::string pattern;
    std::unique_ptr<icu::RegexPattern> compiled; // null for the empty pattern, which matches nothing
    std::size_t groupCount = 0;
    mutable std::mutex poolMutex;
    mutable std::vector<std::unique_ptr<icu::RegexMatcher>> pool;
};

namespace {

constexpr std::size_t maxPooledMatchers = 16;

void throwIfFailed(const std::string& pattern, UErrorCode status) {
    if (U_FAILURE(status)) {
        throw RegexError(pattern, u_errorName(status),
                         "Regular expression \"" + pattern + "\" failed: " + u_errorName(status));
    }
}

std::unique_ptr<icu::RegexMatcher> newMatcher(const Regex::State& state) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(state.compiled->matcher(status));
    throwIfFailed(state.pattern, status);
    return matcher;
}

// Limits of one search walk over a text. A hostile expression ("(a+)+$" against a long run of "a", or
// "^++$") backtracks without end or grows the backtracking stack without bound, so both are capped;
// the caps grow with the text, because a long legitimate match of a repeated group needs stack in
// proportion to its length (about a hundred bytes per repetition) and a walk over a long text needs
// steps in proportion to it. Measured legitimate walks stay far below (under 1 tick per 1,000 units,
// a tick being the engine's 10,000 match steps).
constexpr std::int64_t baseStackBytes = 8 << 20;
constexpr std::int64_t stackBytesPerUnit = 256;
constexpr std::int64_t baseTicks = 200;
constexpr std::int64_t unitsPerTick = 50;

std::int32_t stackLimit(std::size_t length) {
    return std::int32_t(std::min<std::int64_t>(baseStackBytes + std::int64_t(length) * stackBytesPerUnit,
                                               INT32_MAX));
}

// Counts the engine's ticks over every search of one walk, so that many searches that each stay under a
// per-search limit still cannot add up to an unbounded walk.
struct TickBudget {
    std::int64_t remaining;

    static UBool onTick(const void* context, int32_t) {
        auto* budget = static_cast<TickBudget*>(const_cast<void*>(context));
        return --budget->remaining > 0;
    }
};

// Borrows a matcher bound to `text` for one search and returns it to the pool afterwards.
class BorrowedMatcher {
public:
    BorrowedMatcher(const Regex::State& state, std::u16string_view text)
        : state_(state), input_(false, text.data(), static_cast<int32_t>(text.size())) {
        {
            std::lock_guard lock(state.poolMutex);
            if (!state.pool.empty()) {
                matcher_ = std::move(state.pool.back());
                state.pool.pop_back();
            }
        }
        if (!matcher_) {
            matcher_ = newMatcher(state);
        }
        matcher_->reset(input_);
        UErrorCode status = U_ZERO_ERROR;
        matcher_->setStackLimit(stackLimit(text.size()), status);
        check(status);
        budget_.remaining = baseTicks + std::int64_t(text.size()) / unitsPerTick;
        matcher_->setMatchCallback(&TickBudget::onTick, &budget_, status);
        check(status);
    }

    ~BorrowedMatcher() {
        std::lock_guard lock(state_.poolMutex);
        if (state_.pool.size() < maxPooledMatchers) {
            state_.pool.push_back(std::move(matcher_));
        }
    }

    BorrowedMatcher(const BorrowedMatcher&) = delete;
    BorrowedMatcher& operator=(const BorrowedMatcher&) = delete;

    icu::RegexMatcher& operator*() { return *matcher_; }
    icu::RegexMatcher* operator->() { return matcher_.get(); }

    void check(UErrorCode status) const { throwIfFailed(state_.pattern, status); }

    /// After a search: throws RegexError when the search gave up at one of the limits.
    void checkSearch(UErrorCode status) const {
        if (status == U_REGEX_STOPPED_BY_CALLER || status == U_REGEX_TIME_OUT) {
            throw RegexError(state_.pattern, u_errorName(status),
                             "Regular expression \"" + state_.pattern + "\" gave up: the search over " +
                                 std::to_string(input_.length()) + " UTF-16 units took too many steps");
        }
        if (status == U_REGEX_STACK_OVERFLOW) {
            throw RegexError(state_.pattern, u_errorName(status),
                             "Regular expression \"" + state_.pattern + "\" gave up: the search over " +
                                 std::to_string(input_.length()) + " UTF-16 units needed more than " +
                                 std::to_string(stackLimit(std::size_t(input_.length()))) +
                                 " bytes of backtracking stack");
        }
        check(status);
    }

private:
    const Regex::State& state_;
    TickBudget budget_{0};
    icu::UnicodeString input_; // read-only alias of the caller's text; no copy
    std::unique_ptr<icu::RegexMatcher> matcher_;
};

void requireIcuLength(std::size_t length) {
    if (length > static_cast<std::size_t>(INT32_MAX)) {
        throw std::length_error("Text too long for regular-expression search");
    }
}

// Searches [from, end of text) as a region; anchoring bounds on and transparent bounds off are the
// region defaults, which make "^" and "\b" treat `from` as the start of the text.
bool findInRest(BorrowedMatcher& matcher, std::size_t from, std::size_t length) {
    UErrorCode status = U_ZERO_ERROR;
    matcher->region(static_cast<int64_t>(from), static_cast<int64_t>(length), status);
    matcher.check(status);
    const bool found = matcher->find(status);
    matcher.checkSearch(status); // a search that gave up must not pass for "no more matches"
    return found;
}

Utf16Range groupRange(BorrowedMatcher& matcher, int32_t group, bool& participated) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t start = matcher->start(group, status);
    const int32_t end = matcher->end(group, status);
    matcher.check(status);
    participated = start >= 0;
    return participated ? Utf16Range{std::size_t(start), std::size_t(end)} : Utf16Range{};
}

RegexMatch currentMatch(BorrowedMatcher& matcher) {
    RegexMatch match;
    const int32_t count = matcher->groupCount();
    match.groups.reserve(std::size_t(count) + 1);
    for (int32_t group = 0; group <= count; ++group) {
        bool participated = false;
        const Utf16Range range = groupRange(matcher, group, participated);
        match.groups.push_back(participated ? std::optional(range) : std::nullopt);
    }
    return match;
}

// The "find all matches" walk shared by findAll and findAllRanges: `visit` reads the current match.
template <typename Visit>
void forEachMatch(const Regex::State& state, std::u16string_view text, Visit&& visit) {
    if (!state.compiled) {
        return;
    }
    requireIcuLength(text.size());
    BorrowedMatcher matcher(state, text);
    std::size_t position = 0;
    while (position <= text.size() && findInRest(matcher, position, text.size())) {
        bool participated = false;
        const Utf16Range whole = groupRange(matcher, 0, participated);
        visit(matcher, whole);
        if (!whole.empty()) {
            position = whole.end;
        } else if (whole.start < text.size()) {
            position = nextGraphemeBoundary(text, whole.start);
        } else {
            break;
        }
    }
}

} // namespace

Regex::Regex(std::string_view pattern) {
    auto state = std::make_shared<State>();
    state->pattern = std::string(pattern);
    if (!pattern.empty()) {
        const std::u16string units = toUtf16(pattern);
        requireIcuLength(units.size());
        UParseError parseError{};
        UErrorCode status = U_ZERO_ERROR;
        state->compiled.reset(icu::RegexPattern::compile(
            icu::UnicodeString(false, units.data(), static_cast<int32_t>(units.size())), 0, parseError,
            status));
        if (U_FAILURE(status)) {
            std::string message =
                "Invalid regular expression \"" + state->pattern + "\": " + u_errorName(status);
            if (parseError.offset >= 0) {
                message += " at offset " + std::to_string(parseError.offset);
            }
            throw RegexError(state->pattern, u_errorName(status), message);
        }
        // The first matcher tells the group count and starts the pool.
        std::unique_ptr<icu::RegexMatcher> matcher = newMatcher(*state);
        state->groupCount = std::size_t(matcher->groupCount());
        state->pool.push_back(std::move(matcher));
    }
    state_ = std::move(state);
}

const std::string& Regex::pattern() const {
    return state_->pattern;
}

std::size_t Regex::groupCount() const {
    return state_->groupCount;
}

std::optional<RegexMatch> Regex::firstMatch(std::u16string_view text, std::size_t from) const {
    if (!state_->compiled || from > text.size()) {
        return std::nullopt;
    }
    requireIcuLength(text.size());
    BorrowedMatcher matcher(*state_, text);
    if (!findInRest(matcher, from, text.size())) {
        return std::nullopt;
    }
    return currentMatch(matcher);
}

std::vector<RegexMatch> Regex::findAll(std::u16string_view text) const {
    std::vector<RegexMatch> matches;
    forEachMatch(*state_, text, [&](BorrowedMatcher& matcher, const Utf16Range&) {
        matches.push_back(currentMatch(matcher));
    });
    return matches;
}

std::vector<Utf16Range> Regex::findAllRanges(std::u16string_view text) const {
    std::vector<Utf16Range> ranges;
    forEachMatch(*state_, text, [&](BorrowedMatcher&, const Utf16Range& whole) { ranges.push_back(whole); });
    return ranges;
}

std::vector<std::string> Regex::matchedTexts(std::string_view utf8) const {
    std::vector<std::string> texts;
    if (!state_->compiled) {
        return texts;
    }
    const std::u16string units = toUtf16(utf8);
    for (const Utf16Range& range : findAllRanges(units)) {
        texts.push_back(toUtf8(range.of(units)));
    }
    return texts;
}

bool Regex::contains(std::string_view utf8) const {
    return state_->compiled && firstMatch(toUtf16(utf8)).has_value();
}

std::u16string Regex::replaceAll(std::u16string_view text, std::u16string_view replacementTemplate) const {
    if (!state_->compiled) {
        return std::u16string(text);
    }
    requireIcuLength(text.size());
    requireIcuLength(replacementTemplate.size());
    BorrowedMatcher matcher(*state_, text);
    const icu::UnicodeString replacement(false, replacementTemplate.data(),
                                         static_cast<int32_t>(replacementTemplate.size()));
    // The engine's own replaceAll drops a search that gave up and returns the text as far as it got;
    // this loop reports it.
    icu::UnicodeString result;
    UErrorCode status = U_ZERO_ERROR;
    matcher->reset();
    while (matcher->find(status) && U_SUCCESS(status)) {
        matcher->appendReplacement(result, replacement, status);
        if (U_FAILURE(status)) {
            const std::string templateText = toUtf8(replacementTemplate);
            throw RegexError(state_->pattern, u_errorName(status),
                             "Invalid replacement template \"" + templateText + "\" for regular expression \"" +
                                 state_->pattern + "\": " + u_errorName(status));
        }
    }
    matcher.checkSearch(status);
    matcher->appendTail(result);
    return std::u16string(result.getBuffer(), std::size_t(result.length()));
}

std::string Regex::replaceAll(std::string_view utf8, std::string_view replacementTemplate) const {
    if (!state_->compiled) {
        return std::string(utf8);
    }
    return toUtf8(
        replaceAll(std::u16string_view(toUtf16(utf8)), std::u16string_view(toUtf16(replacementTemplate))));
}

std::string Regex::escape(std::string_view literal) {
    std::string out;
    out.reserve(literal.size() * 2);
    for (char c : literal) {
        const auto u = static_cast<unsigned char>(c);
        const bool alphanumeric = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
        if (u < 0x80 && !alphanumeric) {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

} // namespace orvane::text
