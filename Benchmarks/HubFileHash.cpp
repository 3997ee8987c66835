// SHA-256 of a local model file, as the hub client computes it to check a mirrored file against a SHA-256
// etag (offline snapshots, existing files before a transfer): bytes per second for files of 1 MiB to
// 256 MiB, read in 1 MiB pieces. A 630 MB model takes size / rate to check.

#include "OrvaneCore/External/Hub/Client/HubApi.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::filesystem::path writeFile(std::int64_t bytes) {
    auto path = std::filesystem::temp_directory_path() /
                ("velmora-bench-hash-" + std::to_string(::getpid()) + "-" + std::to_string(bytes));
    std::ofstream out(path, std::ios::binary);
    std::string piece(1 << 20, '\0');
    for (size_t i = 0; i < piece.size(); ++i) {
        piece[i] = static_cast<char>(i * 131 % 251);
    }
    for (std::int64_t written = 0; written < bytes; written += static_cast<std::int64_t>(piece.size())) {
        out.write(piece.data(), static_cast<std::streamsize>(std::min<std::int64_t>(piece.size(), bytes - written)));
    }
    return path;
}

void BM_ComputeFileHash(benchmark::State& state) {
    const std::int64_t bytes = state.range(0) << 20;
    const auto path = writeFile(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(orvane::HubApi::computeFileHash(path));
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    std::filesystem::remove(path);
}

} // namespace

BENCHMARK(BM_ComputeFileHash)->Arg(1)->Arg(16)->Arg(256)->Unit(benchmark::kMillisecond);
