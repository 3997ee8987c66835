#pragma once
// The install-location alerts as modal message boxes, with the offer's and the failure's texts.

#include "Velmora/Lifecycle/InstallAlerts.h"

#include <QString>
#include <memory>

class QMessageBox;

namespace velmora::app {

class MessageBoxInstallAlerts final : public InstallAlerts {
public:
    static const QString offerMessage;
    static const QString offerInformativeText;
    static const QString moveButton;
    static const QString laterButton;
    static const QString failureMessage;

    /// The failure's informative text around `description`.
    static QString failureInformativeText(const std::string& description);

    /// The boxes as they are shown (not yet shown).
    static std::unique_ptr<QMessageBox> makeOfferBox();
    static std::unique_ptr<QMessageBox> makeFailureBox(const std::string& description);

    bool offerMove() override;
    void showMoveFailure(const std::string& description) override;
};

} // namespace velmora::app
