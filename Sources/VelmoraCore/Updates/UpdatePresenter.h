#pragma once
// Where the updater's windows appear: the shell shows a dialog, velmoractl prints what it would show.
// Called on the main thread; returns once the notice is on screen, without waiting for the user.

#include "VelmoraCore/Updates/UpdateNotice.h"

namespace velmora {

class UpdatePresenter {
public:
    virtual ~UpdatePresenter() = default;
    virtual void show(const UpdateNotice& notice) = 0;
};

} // namespace velmora
