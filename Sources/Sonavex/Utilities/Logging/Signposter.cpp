#include "Sonavex/Utilities/Logging/Signposter.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace sonavex {

namespace {

std::mutex sinkMutex;
std::shared_ptr<const Signposter::EventSink> installedSink;
std::atomic<bool> sinkInstalled{false};
std::atomic<std::uint64_t> nextSignpostId{1};

std::shared_ptr<const Signposter::EventSink> currentSink() {
    std::lock_guard lock(sinkMutex);
    return installedSink;
}

} // namespace

Signposter::Signposter(std::string subsystem, std::string category)
    : subsystem_(std::move(subsystem)), category_(std::move(category)) {}

void Signposter::setEventSink(EventSink sink) {
    std::lock_guard lock(sinkMutex);
    installedSink = sink ? std::make_shared<const EventSink>(std::move(sink)) : nullptr;
    sinkInstalled = installedSink != nullptr;
}

bool Signposter::isEnabled() const {
    return sinkInstalled.load(std::memory_order_relaxed);
}

std::uint64_t Signposter::makeSignpostId() const {
    return nextSignpostId.fetch_add(1, std::memory_order_relaxed);
}

void Signposter::emit(SignpostEvent::Kind kind, std::string_view name, std::uint64_t signpostId,
                      std::string_view message) const {
    auto sink = currentSink();
    if (!sink) {
        return;
    }
    (*sink)(SignpostEvent{kind, subsystem_, category_, std::string(name), signpostId, std::string(message)});
}

} // namespace sonavex
