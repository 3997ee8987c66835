#include "VelmoraCore/AudioCapture/Recording/CaptureFileWriter.h"

#include "Platform/Audio/Files/CafWriter.h"
#include "Platform/Audio/Files/StreamingAacWriter.h"

#include <cmath>

namespace velmora {

namespace {

class CafCaptureFile : public CaptureFileWriter {
public:
    CafCaptureFile(const std::filesystem::path& path, double sampleRate, int channels)
        : file_(path, sampleRate, channels) {}
    void write(const float* const* channels, int64_t frames) override { file_.write(channels, frames); }
    void close() override { file_.close(); }

private:
    audio::CafWriter file_;
};

class StreamingAacCaptureFile : public CaptureFileWriter {
public:
    StreamingAacCaptureFile(const std::filesystem::path& path, double sampleRate, int channels)
        : file_(path, int(std::lround(sampleRate)), channels) {}
    void write(const float* const* channels, int64_t frames) override { file_.write(channels, frames); }
    void close() override { file_.close(); }

private:
    audio::StreamingAacWriter file_;
};

} // namespace

std::unique_ptr<CaptureFileWriter> makeCafCaptureFile(const std::filesystem::path& path, double sampleRate,
                                                      int channels) {
    return std::make_unique<CafCaptureFile>(path, sampleRate, channels);
}

std::unique_ptr<CaptureFileWriter> makeStreamingAacCaptureFile(const std::filesystem::path& path,
                                                               double sampleRate, int channels) {
    return std::make_unique<StreamingAacCaptureFile>(path, sampleRate, channels);
}

} // namespace velmora
