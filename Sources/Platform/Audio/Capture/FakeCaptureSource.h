#pragma once
// A capture source for tests: a device list and a permission answer set by the test, and streams that
// the test feeds by hand (see FakeCaptureStream). Every stream it makes stays inspectable.

#include "Platform/Audio/Capture/CaptureSource.h"
#include "Platform/Audio/Capture/FakeCaptureStream.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace audio {

class FakeCaptureSource : public CaptureSource {
public:
    std::vector<InputDevice> inputDevices() override;
    bool canRecord() override;
    std::unique_ptr<CaptureStream> makeStream(std::optional<std::string> deviceName, CaptureFormat format,
                                              CaptureStream::BlockHandler handler) override;

    void setDevices(std::vector<InputDevice> devices);
    /// inputDevices() throws std::runtime_error with this text from now on.
    void failDeviceList(std::string message);
    void setCanRecord(bool canRecord);
    /// The next stream made fails its first start() with this text.
    void failNextStart(std::string message);

    /// Every stream made so far, oldest first.
    std::vector<std::shared_ptr<FakeCaptureStream::State>> streams() const;
    /// The newest stream; null when none was made.
    std::shared_ptr<FakeCaptureStream::State> lastStream() const;
    /// Hands one block to the newest stream (see FakeCaptureStream::State::deliver).
    bool deliver(const std::vector<float>& samples);

private:
    mutable std::mutex lock_;
    std::vector<InputDevice> devices_;
    std::optional<std::string> deviceListFailure_;
    std::optional<std::string> startFailure_;
    bool canRecord_ = true;
    std::vector<std::shared_ptr<FakeCaptureStream::State>> streams_;
};

} // namespace audio
