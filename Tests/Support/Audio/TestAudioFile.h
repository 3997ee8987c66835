#pragma once
// Writes audio files for the tests with FFmpeg's own encoders and muxers, from planar float samples,
// so that every test knows exactly which samples a file holds.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace audiotest {

enum class FileKind { wavS16, wavF32, cafF32, m4aAac, flac };

using Planes = std::vector<std::vector<float>>;

/// Writes `planes` (one vector per channel, all the same length) at `sampleRate`. Throws on failure.
void writeAudioFile(const std::filesystem::path& path, FileKind kind, int sampleRate, const Planes& planes);

/// A sine of `frequency` Hz per channel (channel c at amplitude 0.1 × (c + 1)), `frames` long.
Planes sinePlanes(int channels, std::int64_t frames, int sampleRate, double frequency = 440.0);

/// A ramp whose sample i is ((i % period) / period) − 0.5, with channel c offset by c / 100: every
/// stretch of the file is told apart from its neighbours.
Planes rampPlanes(int channels, std::int64_t frames, int period = 997);

/// A PCM WAV written byte by byte, so that its header may state what the file does not hold: `samples`
/// (interleaved, 16-bit integer or 32-bit float by `bits`) under a data chunk of `dataBytes` (default:
/// their size), with a fact chunk stating `factFrames` when given.
void writeRawWav(const std::filesystem::path& path, std::uint32_t sampleRate, std::uint16_t channels,
                 std::uint16_t bits, const std::vector<float>& samples,
                 std::optional<std::uint32_t> dataBytes = std::nullopt,
                 std::optional<std::uint32_t> factFrames = std::nullopt);

/// The file's extension for a kind: ".wav", ".caf", ".m4a", ".flac".
const char* extension(FileKind kind);

} // namespace audiotest
