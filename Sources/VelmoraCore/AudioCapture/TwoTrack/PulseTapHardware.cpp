#include "VelmoraCore/AudioCapture/TwoTrack/PulseTapHardware.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"
#include "Platform/Audio/Pulse/PulseServerQueries.h"
#include "VelmoraCore/AudioCapture/Devices/CAError.h"
#include "VelmoraCore/AudioCapture/TwoTrack/PulseAggregateDevice.h"
#include "VelmoraCore/AudioCapture/TwoTrack/PulseTapStream.h"

#include <pulse/def.h>

namespace velmora {

namespace {

class PulseProcessTap : public ProcessTap {
public:
    PulseProcessTap(PulseTapHardware& hardware, std::string uid, std::shared_ptr<PulseTapStream> stream)
        : hardware_(hardware), uid_(std::move(uid)), stream_(std::move(stream)) {}
    ~PulseProcessTap() override { hardware_.forgetTap(uid_); }

    std::string uid() override { return uid_; }
    TapFormat format() override { return stream_->format(); }

private:
    PulseTapHardware& hardware_;
    std::string uid_;
    std::shared_ptr<PulseTapStream> stream_;
};

const audio::PulseDevice* findByName(const std::vector<audio::PulseDevice>& devices,
                                     const std::string& name) {
    for (const auto& device : devices) {
        if (device.name == name) {
            return &device;
        }
    }
    return nullptr;
}

} // namespace

TapHardware& TapHardware::shared() {
    static PulseTapHardware hardware;
    return hardware;
}

std::unique_ptr<ProcessTap> PulseTapHardware::createProcessTap(const TapDescription& description) {
    constexpr const char* call = "AudioHardwareCreateProcessTap";
    std::shared_ptr<PulseTapStream> stream;
    try {
        auto context = audio::PulseContext::shared();
        const std::string sinkName = audio::readServerInfo(*context).defaultSinkName;
        const auto sinks = audio::listSinks(*context);
        const audio::PulseDevice* sink = findByName(sinks, sinkName);
        if (sinkName.empty() || sink == nullptr || sink->monitorSourceName.empty()) {
            throw CAError::status(call, PA_ERR_NOENTITY);
        }
        stream = std::make_shared<PulseTapStream>(context, sink->monitorSourceName, sink->sampleRate,
                                                  sink->channels, description.name);
    } catch (const audio::PulseError& error) {
        throw CAError::status(call, error.code());
    }
    {
        std::lock_guard guard(lock_);
        taps_[description.uuid] = stream;
    }
    return std::make_unique<PulseProcessTap>(*this, description.uuid, std::move(stream));
}

std::unique_ptr<AggregateDevice>
PulseTapHardware::createAggregateDevice(const AggregateDescription& description) {
    constexpr const char* call = "AudioHardwareCreateAggregateDevice";
    std::vector<std::shared_ptr<PulseTapStream>> taps;
    {
        std::lock_guard guard(lock_);
        for (const auto& member : description.taps) {
            auto found = taps_.find(member.uid);
            std::shared_ptr<PulseTapStream> tap = found != taps_.end() ? found->second.lock() : nullptr;
            if (tap == nullptr) {
                throw CAError::status(call, PA_ERR_NOENTITY);
            }
            taps.push_back(std::move(tap));
        }
    }
    try {
        // Every stream of the device must be handled on one loop thread: the taps' one, when there are taps.
        auto context = taps.empty() ? audio::PulseContext::shared() : taps.front()->context();
        const auto sinks = audio::listSinks(*context);
        const auto sources = audio::listSources(*context);
        const audio::PulseDevice* master = findByName(sinks, description.master);
        if (master == nullptr) {
            throw CAError::status(call, PA_ERR_NOENTITY);
        }
        std::vector<PulseAggregateDevice::Source> inputs;
        for (const auto& member : description.subDevices) {
            if (findByName(sinks, member.uid) != nullptr) {
                continue; // an output device brings no input channels
            }
            const audio::PulseDevice* source = findByName(sources, member.uid);
            if (source == nullptr || source->isMonitor) {
                throw CAError::status(call, PA_ERR_NOENTITY);
            }
            inputs.push_back({source->name, source->channels});
        }
        for (const auto& tap : taps) {
            if (tap->context() != context || tap->format().sampleRate != double(master->sampleRate)) {
                throw CAError::status(call, PA_ERR_NOTSUPPORTED);
            }
        }
        return std::make_unique<PulseAggregateDevice>(context, description.name, master->sampleRate, inputs,
                                                      std::move(taps));
    } catch (const audio::PulseError& error) {
        throw CAError::status(call, error.code());
    }
}

void PulseTapHardware::forgetTap(const std::string& uid) {
    std::lock_guard guard(lock_);
    taps_.erase(uid);
}

} // namespace velmora
