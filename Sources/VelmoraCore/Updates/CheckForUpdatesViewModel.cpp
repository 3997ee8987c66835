#include "VelmoraCore/Updates/CheckForUpdatesViewModel.h"

namespace velmora {

CheckForUpdatesViewModel::CheckForUpdatesViewModel(const Updater& updater)
    : source_(updater.canCheckForUpdates()),
      subscription_(source_.subscribe([this](const bool& value) { canCheckForUpdates_.set(value); })) {
    canCheckForUpdates_.set(source_.value()); // the current value, before any change
}

CheckForUpdatesViewModel::~CheckForUpdatesViewModel() {
    source_.unsubscribe(subscription_);
}

} // namespace velmora
