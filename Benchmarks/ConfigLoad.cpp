// Reading a whole tokenizer.json into a Config, as the model hub does before a tokenizer is built
// (vocabulary, merges and added tokens), for the project's byte-level BPE copies.

#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string tokenizerDocument(const std::string& folder) {
    const std::filesystem::path path =
        std::filesystem::path(VELMORA_TEST_DATA_DIR) / "tokenizers" / folder / "tokenizer.json";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void readTokenizerDocument(benchmark::State& state, const std::string& folder) {
    const std::string text = tokenizerDocument(folder);
    for (auto _ : state) {
        orvane::Config config = orvane::BomPreservingJsonReader::bomPreservingJsonObject(text);
        benchmark::DoNotOptimize(config);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK_CAPTURE(readTokenizerDocument, gpt2, std::string("gpt2"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTokenizerDocument, whisperLargeV3, std::string("whisper-large-v3"))
    ->Unit(benchmark::kMillisecond);

void lookUpMembers(benchmark::State& state) {
    const orvane::Config config =
        orvane::BomPreservingJsonReader::bomPreservingJsonObject(tokenizerDocument("gpt2"));
    for (auto _ : state) {
        benchmark::DoNotOptimize(config["model"]["type"].string());
        benchmark::DoNotOptimize(config["addedTokens"].array());
        benchmark::DoNotOptimize(config["model"]["vocab"]["hello"].integer());
    }
}
BENCHMARK(lookUpMembers);

} // namespace
