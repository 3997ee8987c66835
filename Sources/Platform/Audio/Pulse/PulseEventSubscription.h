#pragma once
// Tells what changes on the sound server: sinks, sources, application streams, cards and the server's
// defaults coming, changing and going. The handler runs on the loop thread inside the library's
// callback (the loop's lock held), so it may only note the change and wake whoever acts on it: no
// blocking helper may run there. Any number of subscriptions may share one context.

#include <cstdint>
#include <functional>
#include <memory>

namespace audio {

class PulseContext;

class PulseEventSubscription {
public:
    enum class Facility { sink, source, sinkInput, sourceOutput, server, card, other };
    enum class Change { added, changed, removed };
    using Handler = std::function<void(Facility facility, Change change, uint32_t index)>;

    /// Starts telling and waits until the server has accepted. Throws PulseError when it refuses.
    /// Any thread but the loop's, without holding a PulseContext::Lock.
    PulseEventSubscription(std::shared_ptr<PulseContext> context, Handler handler);
    /// No handler call runs or begins after it returns. Not from inside the handler.
    ~PulseEventSubscription();
    PulseEventSubscription(const PulseEventSubscription&) = delete;
    PulseEventSubscription& operator=(const PulseEventSubscription&) = delete;

private:
    std::shared_ptr<PulseContext> context_;
    std::shared_ptr<Handler> handler_;
};

} // namespace audio
