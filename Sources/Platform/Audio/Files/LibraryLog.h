#pragma once
// The media library writes chatter (encoder statistics, header notes) to standard error at info level;
// every part of the audio-file layer that calls into it first turns that down to errors only.

namespace audio {

void quietLibraryLog();

} // namespace audio
