#pragma once
// Named time intervals of one engine stage, for performance tools. Signposts are off until an event sink
// is installed (process-wide); while off, making identifiers is all a signposter does, so the stages pay
// next to nothing for them.

#include "Sonavex/Utilities/Logging/SignpostEvent.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace sonavex {

class Signposter {
public:
    using EventSink = std::function<void(const SignpostEvent&)>;

    /// A signposter writing to the log of `subsystem` (a reverse-domain name) and `category`.
    Signposter(std::string subsystem, std::string category);

    const std::string& subsystem() const { return subsystem_; }
    const std::string& category() const { return category_; }

    /// Installs the sink every signposter writes to; an empty function turns signposts off again.
    /// The sink may be called from any thread, never under a lock of ours.
    static void setEventSink(EventSink sink);
    /// True while a sink is installed.
    bool isEnabled() const;

    /// A fresh identifier, unique in the process.
    std::uint64_t makeSignpostId() const;
    /// Hands one event to the sink, when there is one.
    void emit(SignpostEvent::Kind kind, std::string_view name, std::uint64_t signpostId,
              std::string_view message) const;

private:
    std::string subsystem_;
    std::string category_;
};

} // namespace sonavex
