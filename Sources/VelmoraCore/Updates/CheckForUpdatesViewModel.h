#pragma once
// The manual check button's state: mirrors the updater's `canCheckForUpdates`, starting from its current
// value at once, for as long as the model lives. Main thread only; the updater must outlive it.

#include "VelmoraCore/Observable.h"
#include "VelmoraCore/Updates/Updater.h"

namespace velmora {

class CheckForUpdatesViewModel {
public:
    explicit CheckForUpdatesViewModel(const Updater& updater);
    ~CheckForUpdatesViewModel();
    CheckForUpdatesViewModel(const CheckForUpdatesViewModel&) = delete;
    CheckForUpdatesViewModel& operator=(const CheckForUpdatesViewModel&) = delete;

    const Observable<bool>& canCheckForUpdates() const { return canCheckForUpdates_; }

private:
    const Observable<bool>& source_;
    Observable<bool> canCheckForUpdates_{false};
    Observable<bool>::SubscriptionId subscription_;
};

} // namespace velmora
