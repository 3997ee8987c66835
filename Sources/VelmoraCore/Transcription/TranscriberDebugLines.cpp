#include "VelmoraCore/Transcription/TranscriberDebugLines.h"

#include "OrvaneCore/Logging/Describing.h"
#include "OrvaneCore/Text/Graphemes.h"
#include "VelmoraCore/Transcription/ChunkPlanner.h"

namespace velmora::transcriberdebug {

std::string loadedLine(std::int64_t sampleCount, float peak) {
    const double seconds = static_cast<double>(sampleCount) / static_cast<double>(ChunkPlanner::sampleRate);
    return "  [debug] 読み込んだ音声: " + std::to_string(sampleCount) + " サンプル (" +
           orvane::describing(seconds) + " 秒), peak=" + orvane::describing(peak);
}

std::string voicedRangesLine(std::size_t count) {
    return "  [debug] VAD生チャンク数: " + std::to_string(count);
}

std::string chunksLine(std::size_t count) {
    return "  [debug] マージ後チャンク数: " + std::to_string(count);
}

std::string chunkLine(const SampleRange& chunk, std::string_view text) {
    return "  [debug] chunk " + std::to_string(chunk.start) + "..<" + std::to_string(chunk.end) +
           " → 文字数=" + std::to_string(orvane::text::graphemeCount(text)) + " 内容=\"" + std::string(text) +
           "\"";
}

} // namespace velmora::transcriberdebug
