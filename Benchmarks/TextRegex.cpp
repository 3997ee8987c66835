// Pre-tokenizer-style splitting of 100 KB of mixed text with the byte-level expression, the heaviest
// regular-expression use in tokenizer encoding, on one thread and on several sharing one Regex.

#include "OrvaneCore/Text/Graphemes.h"
#include "OrvaneCore/Text/Normalization.h"
#include "OrvaneCore/Text/Regex.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

std::string sampleText() {
    std::string text;
    while (text.size() < 100 * 1024) {
        text += "The quick brown fox's 42 jumps \u00FCber den faulen Hund; caf\u00E9 "
                "\u3053\u3093\u306B\u3061\u306F "
                "\U0001F600!\n";
    }
    return text;
}

const orvane::text::Regex& byteLevel() {
    static const orvane::text::Regex regex(
        R"('s|'t|'re|'ve|'m|'ll|'d| ?\p{L}+| ?\p{N}+| ?[^\s\p{L}\p{N}]+|\s+(?!\S)|\s+)");
    return regex;
}

void splitByteLevel(benchmark::State& state) {
    const std::string text = sampleText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(byteLevel().matchedTexts(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(splitByteLevel)->Unit(benchmark::kMillisecond)->ThreadRange(1, 8)->UseRealTime();

void countGraphemes(benchmark::State& state) {
    const std::string text = sampleText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(orvane::text::graphemeCount(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(countGraphemes)->Unit(benchmark::kMillisecond);

void canonicalKeys(benchmark::State& state) {
    const std::string text = sampleText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(orvane::text::canonicalKey(text));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(canonicalKeys)->Unit(benchmark::kMillisecond);

} // namespace
