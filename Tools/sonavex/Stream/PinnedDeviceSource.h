#pragma once
// A capture source that opens one chosen device whatever device a capture asks for, so a caller that
// always records from the default input records from that device instead.

#include "Platform/Audio/Capture/CaptureSource.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace sonavex::tool {

class PinnedDeviceSource : public audio::CaptureSource {
public:
    PinnedDeviceSource(std::shared_ptr<audio::CaptureSource> inner, std::optional<std::string> deviceName)
        : inner_(std::move(inner)), deviceName_(std::move(deviceName)) {}

    std::vector<audio::InputDevice> inputDevices() override { return inner_->inputDevices(); }
    bool canRecord() override { return inner_->canRecord(); }
    std::unique_ptr<audio::CaptureStream> makeStream(std::optional<std::string>, audio::CaptureFormat format,
                                                     audio::CaptureStream::BlockHandler handler) override {
        return inner_->makeStream(deviceName_, format, std::move(handler));
    }

private:
    std::shared_ptr<audio::CaptureSource> inner_;
    std::optional<std::string> deviceName_;
};

} // namespace sonavex::tool
