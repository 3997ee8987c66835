#pragma once
// A transcript that cannot be written as it stands: a time that is not a finite number or does not fit
// a 64-bit count of seconds. Nothing is written then.

#include "VelmoraCore/AppError.h"

namespace velmora {

class TranscriptWriterError : public AppError {
public:
    static TranscriptWriterError invalidTime(double seconds);

private:
    using AppError::AppError;
};

} // namespace velmora
