#pragma once
// The media library writes chatter (encoder statistics, header notes) to standard error at info level;
// every part of the audio-file layer that calls into it first turns that down to errors only.
//
// Some failures come back from the library as a bare code ("Invalid argument") with their cause only in
// its log, as an encoder refusing its input: the last error it logs on each thread is kept for the
// message of such a failure.

#include <string>

namespace audio {

void quietLibraryLog();

/// The last error the library logged on this thread since the previous call, without the trailing line
/// break; empty when it logged none. Call before a library call to drop what earlier calls left.
std::string takeLibraryError();

} // namespace audio
