#pragma once
// Turns a recording's raw captures into compact M4A (AAC-LC) files: convertToM4A re-encodes one file,
// mix plays two files together in one. Both stream block by block, so memory stays bounded whatever
// the recording's length, and both keep every track's timing: encoder delay and padding are signalled
// in the output, lengths are exact to the frame and nothing is shifted.
//
// Neither changes its inputs; both replace the destination. A failed or cancelled run leaves no
// destination file. An input that ends before its stated length, or whose samples had to be replaced
// (not finite, or far beyond full scale), is used as far as it goes, with a warning on standard error.
// They hold no state and may run in parallel on different files.

#include "VelmoraCore/AudioCapture/ConversionError.h"

#include <filesystem>
#include <stop_token>

namespace velmora {

class AudioConverter {
public:
    using ConversionError = velmora::ConversionError;

    AudioConverter() = delete;

    /// Re-encodes `source` at its own rate and channel count (a rate AAC cannot carry becomes 48 kHz).
    /// Every channel keeps its full band. AAC carries at most eight channels: a source of more is mixed
    /// down to stereo as `mix` folds an input, with a warning on standard error.
    /// Throws audio::AudioFileError for a source that cannot be opened or decoded, or a destination that
    /// cannot be written; ConversionError::exportSessionCreationFailed when the encoder or the M4A
    /// writer cannot be set up for the format; ConversionError::exportFailed when source and destination
    /// are one file; orvane::CancellationError when `stop` is requested.
    static void convertToM4A(const std::filesystem::path& source, const std::filesystem::path& destination,
                             std::stop_token stop = {});

    /// Mixes the first audio stream of each input into one 48 kHz stereo M4A: both start at time zero,
    /// a mono input plays on both sides, a stereo one keeps its sides, and an input of more channels is
    /// folded into two: its first two keep their sides, every further one plays on both, and each side
    /// is the mean of the channels it takes, so the fold never clips. The shorter input is followed by
    /// silence and the sum of the inputs is clipped to full scale. An input without audio is left out;
    /// with neither, ConversionError::exportFailed and nothing is written. Other errors as convertToM4A.
    static void mix(const std::filesystem::path& trackA, const std::filesystem::path& trackB,
                    const std::filesystem::path& destination, std::stop_token stop = {});
};

} // namespace velmora
