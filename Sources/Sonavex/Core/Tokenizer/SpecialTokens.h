#pragma once
// The ids of the Whisper special tokens the decoding stages steer by.

namespace sonavex {

struct SpecialTokens {
    int endToken = 50257;
    int englishToken = 50259;
    int noSpeechToken = 50362;
    int noTimestampsToken = 50363;
    /// Ids from here on are special (the end-of-text id).
    int specialTokenBegin = 50257;
    int startOfPreviousToken = 50361;
    int startOfTranscriptToken = 50258;
    int timeTokenBegin = 50364;
    int transcribeToken = 50359;
    int translateToken = 50358;
    int whitespaceToken = 220;
};

} // namespace sonavex
