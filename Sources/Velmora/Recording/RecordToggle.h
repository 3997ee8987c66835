#pragma once
// The one rule of the record button and the global hot key: stop a running recording, otherwise clear
// the last outcome and start a new one. No condition is checked (permissions, sign-in, model).

#include "Velmora/Recording/RecordingControl.h"
#include "VelmoraCore/MainThreadDispatcher.h"

#include <functional>
#include <memory>

namespace velmora::app {

/// Applies the toggle at once. Main thread only.
void applyRecordToggle(RecordingControl& session);

/// The hot key's trigger: holds the session weakly and posts the toggle as a main-thread task; a press
/// after the session is gone does nothing. `mainThread` must outlive the trigger.
std::function<void()> makeRecordToggleTrigger(std::weak_ptr<RecordingControl> session,
                                              MainThreadDispatcher& mainThread);

} // namespace velmora::app
