#pragma once
// The two modal questions of the install-location check; MessageBoxInstallAlerts shows them, tests
// answer them.

#include <string>

namespace velmora::app {

class InstallAlerts {
public:
    virtual ~InstallAlerts() = default;
    /// The offer, in front of other applications; true when the user chose the move.
    virtual bool offerMove() = 0;
    /// The failure of the move, with the reason; waits for the user.
    virtual void showMoveFailure(const std::string& description) = 0;
};

} // namespace velmora::app
