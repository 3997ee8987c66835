#pragma once
// Records every signpost event for the life of a test, then turns signposts off again.

#include "Sonavex/Utilities/Logging/Signposter.h"

#include <mutex>
#include <vector>

class SignpostSink {
public:
    SignpostSink() {
        sonavex::Signposter::setEventSink([this](const sonavex::SignpostEvent& event) {
            std::lock_guard lock(mutex_);
            events_.push_back(event);
        });
    }
    ~SignpostSink() { sonavex::Signposter::setEventSink(nullptr); }
    SignpostSink(const SignpostSink&) = delete;
    SignpostSink& operator=(const SignpostSink&) = delete;

    std::vector<sonavex::SignpostEvent> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<sonavex::SignpostEvent> events_;
};
