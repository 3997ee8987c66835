#include "Platform/Audio/Files/ContainerInfo.h"

#include "Platform/Audio/Files/AudioFileError.h"
#include "Platform/Audio/Files/LibraryLog.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace audio {

namespace {

std::string containerName(const AVFormatContext* format) {
    std::string name = format->iformat->name;
    if (name.rfind("mov,", 0) == 0) {
        const AVDictionaryEntry* brand = av_dict_get(format->metadata, "major_brand", nullptr, 0);
        const std::string major = brand != nullptr ? brand->value : "";
        if (major.rfind("M4A", 0) == 0) {
            return "m4a";
        }
        return major.rfind("qt", 0) == 0 ? "mov" : "mp4";
    }
    return name.substr(0, name.find(','));
}

} // namespace

ContainerInfo ContainerInfo::inspect(const std::filesystem::path& path) {
    quietLibraryLog();
    AVFormatContext* format = nullptr;
    int code = avformat_open_input(&format, path.c_str(), nullptr, nullptr);
    if (code >= 0) {
        code = avformat_find_stream_info(format, nullptr);
    }
    if (code < 0) {
        avformat_close_input(&format);
        throw AudioFileError("Cannot open audio file", path.string(), code);
    }
    ContainerInfo info;
    info.container = containerName(format);
    info.hasAudio = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
    avformat_close_input(&format);
    return info;
}

} // namespace audio
