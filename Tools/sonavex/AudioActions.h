#pragma once
// The actions of `sonavex audio` beyond loading, kept in files of their own; AudioCommand.cpp registers
// the group and hands each action its arguments.

#include "CommandLine.h"

namespace sonavex::tool {

/// `sonavex audio vad …` and `sonavex audio chunks …`, with the action already taken.
int runAudioVad(CommandLine& commandLine);
int runAudioChunks(CommandLine& commandLine);

/// Their usage lines.
extern const char* const kAudioVoiceUsage;

/// `sonavex audio devices` and `sonavex audio record …`, with the action already taken.
int runAudioDevices(CommandLine& commandLine);
int runAudioRecord(CommandLine& commandLine);

/// Their usage lines.
extern const char* const kAudioCaptureUsage;

} // namespace sonavex::tool
