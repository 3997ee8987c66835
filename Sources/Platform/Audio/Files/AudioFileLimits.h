#pragma once
// What the audio-file reader accepts as a stream's layout. Rates outside audio practice make converters
// size their filters and buffers from absurd ratios, and hundreds of channels multiply every buffer, so
// such files are refused when they are opened, before anything is sized from them.

namespace audio {

inline constexpr int minimumFileSampleRate = 1000;
inline constexpr int maximumFileSampleRate = 768000;
inline constexpr int maximumFileChannelCount = 64;

} // namespace audio
