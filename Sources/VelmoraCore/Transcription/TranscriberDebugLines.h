#pragma once
// The lines the transcriber prints to standard output while it works: what was loaded, how many voiced
// stretches and chunks were found, and what each chunk gave. Numbers in their shortest exact form.

#include "VelmoraCore/Transcription/SampleRange.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::transcriberdebug {

/// "  [debug] 読み込んだ音声: N サンプル (D 秒), peak=P"
std::string loadedLine(std::int64_t sampleCount, float peak);
/// "  [debug] VAD生チャンク数: N"
std::string voicedRangesLine(std::size_t count);
/// "  [debug] マージ後チャンク数: N"
std::string chunksLine(std::size_t count);
/// "  [debug] chunk S..<E → 文字数=N 内容="TEXT"" with N the text's user-perceived characters.
std::string chunkLine(const SampleRange& chunk, std::string_view text);

} // namespace velmora::transcriberdebug
