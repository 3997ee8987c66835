#pragma once
// The update found by a background check and not yet looked at: the menu-bar badge and the record tab's
// banner show while it holds one. Not kept across launches. Main thread only.

#include "Platform/Desktop/Updates/UpdateItem.h"
#include "VelmoraCore/Observable.h"

#include <optional>

namespace velmora {

class UpdateAvailabilityStore {
public:
    /// Empty until a gentle find.
    const Observable<std::optional<desktop::UpdateItem>>& pendingUpdate() const { return pendingUpdate_; }
    void setPendingUpdate(std::optional<desktop::UpdateItem> update) {
        pendingUpdate_.set(std::move(update));
    }

private:
    Observable<std::optional<desktop::UpdateItem>> pendingUpdate_;
};

} // namespace velmora
