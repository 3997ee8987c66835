#include "VelmoraCore/Transcripts/TranscriptWriterError.h"

#include "OrvaneCore/Logging/Describing.h"

#include <cmath>

namespace velmora {

TranscriptWriterError TranscriptWriterError::invalidTime(double seconds) {
    const std::string shown = orvane::describing(seconds);
    return TranscriptWriterError("invalidTime", std::isfinite(seconds)
                                                    ? "書き出せない時刻です（64ビットに収まりません）: " + shown
                                                    : "書き出せない時刻です（有限の数ではありません）: " + shown);
}

} // namespace velmora
