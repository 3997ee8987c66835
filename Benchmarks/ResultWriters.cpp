// What writing and reading a transcription result costs for an hour of speech (720 five-second segments
// of twelve timed words each): the JSON encoding and decoding of the record, and whole SubRip, WebVTT and
// JSON files, each written atomically (with its flush to disk) into a temporary folder.

#include "Sonavex/Core/Results/TranscriptionResult.h"
#include "Sonavex/Utilities/Formats/JsonCoding.h"
#include "Sonavex/Utilities/Writers/WriteJSON.h"
#include "Sonavex/Utilities/Writers/WriteSRT.h"
#include "Sonavex/Utilities/Writers/WriteVTT.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::shared_ptr<sonavex::TranscriptionResult> hourOfSpeech() {
    std::vector<sonavex::TranscriptionSegment> segments;
    for (int i = 0; i < 720; ++i) {
        sonavex::TranscriptionSegment segment;
        segment.id = i;
        segment.seek = int64_t(i / 6) * 480000;
        segment.start = 5.0f * float(i);
        segment.end = segment.start + 4.8f;
        segment.words.emplace();
        for (int w = 0; w < 12; ++w) {
            int64_t token = 1000 + 12 * i + w;
            segment.text += " word" + std::to_string(w);
            segment.tokens.push_back(token);
            segment.tokenLogProbs.push_back({{token, -0.25f}});
            segment.words->push_back({" word" + std::to_string(w),
                                      {token},
                                      segment.start + 0.4f * float(w),
                                      segment.start + 0.4f * float(w + 1),
                                      0.875f});
        }
        segment.avgLogprob = -0.25f;
        segment.compressionRatio = 1.4f;
        segment.noSpeechProb = 0.01f;
        segments.push_back(std::move(segment));
    }
    return sonavex::TranscriptionResult::make("", std::move(segments), "ja", {});
}

/// A fresh folder for the files, removed at the end.
struct Folder {
    Folder() : path(std::filesystem::temp_directory_path() / ("bench-writers-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

void ResultJsonEncode(benchmark::State& state) {
    auto result = hourOfSpeech();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text = sonavex::json::Json(*result).dump(2);
        bytes += text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(ResultJsonEncode)->Unit(benchmark::kMillisecond);

void ResultJsonDecode(benchmark::State& state) {
    const std::string text = sonavex::json::Json(*hourOfSpeech()).dump(2);
    for (auto _ : state) {
        auto read = sonavex::transcriptionResultFromJson(sonavex::json::parseDocument(text));
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}
BENCHMARK(ResultJsonDecode)->Unit(benchmark::kMillisecond);

template <class Writer> void WriteFile(benchmark::State& state) {
    auto result = hourOfSpeech();
    Folder folder;
    Writer writer(folder.path.string());
    for (auto _ : state) {
        auto written = writer.write(*result, "hour");
        if (!written.isSuccess()) {
            state.SkipWithError("write failed");
            break;
        }
    }
}
BENCHMARK_TEMPLATE(WriteFile, sonavex::WriteSRT)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(WriteFile, sonavex::WriteVTT)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(WriteFile, sonavex::WriteJSON)->Unit(benchmark::kMillisecond);

} // namespace
