// Speed of the speech models' tokenizer (whisper-large-v3, from the project's test data): loading it
// from its files, and encoding 100 KB of English and of Japanese text. Encoding is reported in bytes
// per second; "Cold" builds a fresh tokenizer per pass so the per-piece cache starts empty.

#include "OrvaneCore/External/Hub/Configuration/BomPreservingJsonReader.h"
#include "OrvaneCore/External/Tokenizers/Pipeline/PreTrainedTokenizer.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::filesystem::path folder =
    std::filesystem::path(VELMORA_TEST_DATA_DIR) / "tokenizers/whisper-large-v3";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

struct Documents {
    orvane::Config tokenizerConfig;
    orvane::Config tokenizerData;
};

Documents readDocuments() {
    return {
        orvane::BomPreservingJsonReader::bomPreservingJsonObject(readFile(folder / "tokenizer_config.json")),
        orvane::BomPreservingJsonReader::bomPreservingJsonObject(readFile(folder / "tokenizer.json"))};
}

// Sentences drawn with a fixed seed from a small word stock: words repeat as in real text, sentences don't.
std::string makeText(const std::vector<std::string>& words, const std::string& space,
                     const std::vector<std::string>& ends, std::size_t bytes) {
    std::mt19937 random(42);
    std::string text;
    while (text.size() < bytes) {
        int length = 4 + static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i) {
            if (i > 0)
                text += space;
            text += words[random() % words.size()];
        }
        text += ends[random() % ends.size()];
        text += random() % 5 == 0 ? "\n" : " ";
    }
    return text;
}

const std::string& englishText() {
    static const std::string text =
        makeText({"the",       "recording",  "of",       "a",          "call",        "was",      "saved",
                  "to",        "your",       "folder",   "and",        "transcribed", "in",       "seconds",
                  "while",     "we",         "talked",   "about",      "quarterly",   "numbers",  "meeting",
                  "tomorrow",  "morning",    "please",   "send",       "me",          "notes",    "project",
                  "Velmora",   "speech",     "engine",   "runs",       "on",          "device",   "without",
                  "network",   "they'll",    "we're",    "it's",       "don't",       "customer", "support",
                  "ticket",    "#4521",      "priority", "high",       "2024",        "3.5",      "percent",
                  "growth",    "revenue",    "budget",   "Alice",      "Bob",         "Dr.",      "Smith",
                  "signal",    "noise",      "ratio",    "microphone", "headset",     "volume",   "(draft)",
                  "\"final\"", "well-known", "e-mail",   "schedule",   "postponed",   "until",    "Friday",
                  "afternoon", "London",     "Tokyo"},
                 " ", {".", "?", "!", ",", ";", ":"}, 100 * 1024);
    return text;
}

const std::string& japaneseText() {
    static const std::string text = makeText(
        {"今日は",   "会議", "の",       "録音",         "を",   "保存",   "しました", "明日",   "午前",
         "に",       "資料", "送って",   "ください",     "東京", "大阪",   "音声",     "認識",   "エンジン",
         "端末",     "で",   "動きます", "ネットワーク", "なし", "でも",   "大丈夫",   "です",   "予算",
         "について", "話し", "合い",     "ました",       "売上", "成長率", "３．５％", "お客様", "サポート",
         "担当者",   "から", "連絡",     "があり",       "ます", "会議室", "予約",     "済み",   "午後",
         "金曜日",   "まで", "延期",     "マイク",       "音量", "確認",   "して",     "ね"},
        "", {"。", "？", "！", "、"}, 100 * 1024);
    return text;
}

void BM_LoadWhisperLargeV3(benchmark::State& state) {
    for (auto _ : state) {
        Documents documents = readDocuments();
        orvane::PreTrainedTokenizer tokenizer(documents.tokenizerConfig, documents.tokenizerData, true);
        benchmark::DoNotOptimize(tokenizer.unknownTokenId());
    }
}
BENCHMARK(BM_LoadWhisperLargeV3)->Unit(benchmark::kMillisecond);

void BM_ReadWhisperLargeV3Files(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(readDocuments());
}
BENCHMARK(BM_ReadWhisperLargeV3Files)->Unit(benchmark::kMillisecond);

void BM_BuildWhisperLargeV3FromConfig(benchmark::State& state) {
    Documents documents = readDocuments();
    for (auto _ : state) {
        orvane::PreTrainedTokenizer tokenizer(documents.tokenizerConfig, documents.tokenizerData, true);
        benchmark::DoNotOptimize(tokenizer.unknownTokenId());
    }
}
BENCHMARK(BM_BuildWhisperLargeV3FromConfig)->Unit(benchmark::kMillisecond);

void encode(benchmark::State& state, const std::string& text, bool cold) {
    Documents documents = readDocuments();
    auto tokenizer = std::make_unique<orvane::PreTrainedTokenizer>(documents.tokenizerConfig,
                                                                   documents.tokenizerData, true);
    std::size_t tokens = 0;
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            tokenizer = std::make_unique<orvane::PreTrainedTokenizer>(documents.tokenizerConfig,
                                                                      documents.tokenizerData, true);
            state.ResumeTiming();
        }
        tokens = tokenizer->encode(text).size();
        benchmark::DoNotOptimize(tokens);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["tokens"] = static_cast<double>(tokens);
}

void BM_EncodeEnglish100KB(benchmark::State& state) {
    encode(state, englishText(), false);
}
void BM_EncodeJapanese100KB(benchmark::State& state) {
    encode(state, japaneseText(), false);
}
void BM_EncodeEnglish100KBCold(benchmark::State& state) {
    encode(state, englishText(), true);
}
void BM_EncodeJapanese100KBCold(benchmark::State& state) {
    encode(state, japaneseText(), true);
}
BENCHMARK(BM_EncodeEnglish100KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeJapanese100KB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeEnglish100KBCold)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_EncodeJapanese100KBCold)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
