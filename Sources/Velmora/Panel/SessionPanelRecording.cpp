#include "Velmora/Panel/SessionPanelRecording.h"

#include "Velmora/Recording/RecordToggle.h"

namespace velmora::app {

void SessionPanelRecording::toggleRecording() {
    applyRecordToggle(control_);
}

} // namespace velmora::app
