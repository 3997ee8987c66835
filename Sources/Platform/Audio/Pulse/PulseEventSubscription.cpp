#include "Platform/Audio/Pulse/PulseEventSubscription.h"

#include "Platform/Audio/Pulse/PulseContext.h"
#include "Platform/Audio/Pulse/PulseError.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <pulse/context.h>
#include <pulse/subscribe.h>
#include <vector>

namespace audio {

namespace {

// The library keeps one event callback per context, so the subscriptions of a context share it.
// An entry changes only under its context's loop lock, and the callback runs under that lock too,
// so no handler can go while it is being called; registryLock covers the map across contexts.
std::mutex registryLock;
std::map<pa_context*, std::vector<std::shared_ptr<PulseEventSubscription::Handler>>> registry;

constexpr auto everything = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SOURCE |
                                                   PA_SUBSCRIPTION_MASK_SINK_INPUT |
                                                   PA_SUBSCRIPTION_MASK_SOURCE_OUTPUT |
                                                   PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_CARD);

PulseEventSubscription::Facility facilityOf(pa_subscription_event_type_t type) {
    using Facility = PulseEventSubscription::Facility;
    switch (type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) {
    case PA_SUBSCRIPTION_EVENT_SINK:
        return Facility::sink;
    case PA_SUBSCRIPTION_EVENT_SOURCE:
        return Facility::source;
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
        return Facility::sinkInput;
    case PA_SUBSCRIPTION_EVENT_SOURCE_OUTPUT:
        return Facility::sourceOutput;
    case PA_SUBSCRIPTION_EVENT_SERVER:
        return Facility::server;
    case PA_SUBSCRIPTION_EVENT_CARD:
        return Facility::card;
    default:
        return Facility::other;
    }
}

PulseEventSubscription::Change changeOf(pa_subscription_event_type_t type) {
    switch (type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) {
    case PA_SUBSCRIPTION_EVENT_NEW:
        return PulseEventSubscription::Change::added;
    case PA_SUBSCRIPTION_EVENT_REMOVE:
        return PulseEventSubscription::Change::removed;
    default:
        return PulseEventSubscription::Change::changed;
    }
}

void onEvent(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void*) {
    std::vector<std::shared_ptr<PulseEventSubscription::Handler>> handlers;
    {
        std::lock_guard guard(registryLock);
        auto found = registry.find(context);
        if (found == registry.end()) {
            return;
        }
        handlers = found->second;
    }
    for (const auto& handler : handlers) {
        (*handler)(facilityOf(type), changeOf(type), index);
    }
}

struct SubscribeAnswer {
    PulseContext* context = nullptr;
    bool failed = false;
};

void onSubscribed(pa_context*, int success, void* userdata) {
    auto* answer = static_cast<SubscribeAnswer*>(userdata);
    answer->failed = success == 0;
    answer->context->signal();
}

} // namespace

PulseEventSubscription::PulseEventSubscription(std::shared_ptr<PulseContext> context, Handler handler)
    : context_(std::move(context)), handler_(std::make_shared<Handler>(std::move(handler))) {
    context_->requireOffLoopThread("pa_context_subscribe");
    PulseContext::Lock lock(*context_);
    if (!context_->isConnected()) {
        throw PulseError("pa_context_subscribe", context_->lastError());
    }
    pa_context* raw = context_->context();
    bool first = false;
    {
        std::lock_guard guard(registryLock);
        auto& handlers = registry[raw];
        first = handlers.empty();
        handlers.push_back(handler_);
    }
    if (!first) {
        return;
    }
    try {
        pa_context_set_subscribe_callback(raw, onEvent, nullptr);
        SubscribeAnswer answer;
        answer.context = context_.get();
        context_->await(pa_context_subscribe(raw, everything, onSubscribed, &answer), "pa_context_subscribe");
        if (answer.failed) {
            throw PulseError("pa_context_subscribe", context_->lastError());
        }
    } catch (...) {
        std::lock_guard guard(registryLock);
        auto& handlers = registry[raw];
        handlers.erase(std::remove(handlers.begin(), handlers.end(), handler_), handlers.end());
        if (handlers.empty()) {
            registry.erase(raw);
            pa_context_set_subscribe_callback(raw, nullptr, nullptr);
        }
        throw;
    }
}

PulseEventSubscription::~PulseEventSubscription() {
    PulseContext::Lock lock(*context_);
    pa_context* raw = context_->context();
    bool last = false;
    {
        std::lock_guard guard(registryLock);
        auto found = registry.find(raw);
        if (found == registry.end()) {
            return;
        }
        auto& handlers = found->second;
        handlers.erase(std::remove(handlers.begin(), handlers.end(), handler_), handlers.end());
        last = handlers.empty();
        if (last) {
            registry.erase(found);
        }
    }
    if (last) {
        pa_context_set_subscribe_callback(raw, nullptr, nullptr);
        if (context_->isConnected()) {
            // Nobody waits for the answer: the events stop either way, as the callback is gone.
            if (pa_operation* operation = pa_context_subscribe(raw, PA_SUBSCRIPTION_MASK_NULL, nullptr, nullptr)) {
                pa_operation_unref(operation);
            }
        }
    }
}

} // namespace audio
