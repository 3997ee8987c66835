#pragma once
// What the audio-file reader accepts as a stream's layout, and the largest sample it passes on. Rates
// outside audio practice make converters size their filters and buffers from absurd ratios, and hundreds
// of channels multiply every buffer, so such files are refused when they are opened, before anything is
// sized from them.

namespace audio {

inline constexpr int minimumFileSampleRate = 1000;
inline constexpr int maximumFileSampleRate = 768000;
inline constexpr int maximumFileChannelCount = 64;

/// The largest magnitude a decoded float sample keeps; beyond it a sample reads as ±this. Full scale is 1:
/// only a broken or hostile file goes past it, and a value near the float limit (3.4e38) overflows to
/// infinity in the first filter, mix or square that adds to it. 1e6 leaves the resampler's filters, the
/// sum of 64 channels and a spectrum's squares far from that limit, and keeps the AAC encoder's transform
/// values (sample × 32768 × 1024 at most, 3.4e13) well below the 1e16 at which it refuses its input.
inline constexpr float maximumSampleMagnitude = 1e6f;

} // namespace audio
