// Reading a whole tokenizer.json into a Config, as the model hub does before a tokenizer is built:
// the byte-level BPE vocabulary and merges of the project's gpt2 copy, or the file named by
// VELMORA_BENCH_CONFIG_FILE (for example a larger multilingual tokenizer).

#include "OrvaneCore/External/Hub/BomPreservingJsonReader.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string documentText() {
    const char* chosen = std::getenv("VELMORA_BENCH_CONFIG_FILE");
    const std::filesystem::path path =
        chosen != nullptr ? std::filesystem::path(chosen)
                          : std::filesystem::path(__FILE__).parent_path().parent_path() /
                                "Tests/Data/tokenizers/gpt2/tokenizer.json";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void readTokenizerDocument(benchmark::State& state) {
    const std::string text = documentText();
    for (auto _ : state) {
        orvane::Config config = orvane::BomPreservingJsonReader::bomPreservingJsonObject(text);
        benchmark::DoNotOptimize(config);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(readTokenizerDocument)->Unit(benchmark::kMillisecond);

void lookUpMembers(benchmark::State& state) {
    const orvane::Config config = orvane::BomPreservingJsonReader::bomPreservingJsonObject(documentText());
    for (auto _ : state) {
        benchmark::DoNotOptimize(config["model"]["type"].string());
        benchmark::DoNotOptimize(config["addedTokens"].array());
        benchmark::DoNotOptimize(config["model"]["vocab"]["hello"].integer());
    }
}
BENCHMARK(lookUpMembers);

} // namespace
