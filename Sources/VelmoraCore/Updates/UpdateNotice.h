#pragma once
// What the updater's window says after a check: an update to install, nothing newer, or a failure. The
// shell's dialog and velmoractl both show it from here, so the texts live in one place.

#include "Platform/Desktop/Updates/UpdateItem.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct UpdateNotice {
    enum class Kind { updateAvailable, upToDate, checkFailed };

    /// "新しいバージョン " + the display version + " が利用可能です", to install now or later.
    static UpdateNotice available(const desktop::UpdateItem& update);
    static UpdateNotice upToDate();
    /// "アップデートを確認できませんでした: " + the error's description.
    static UpdateNotice failed(const std::string& errorDescription);

    /// The button texts in order; the first one acts (installs or dismisses), any second one dismisses.
    std::vector<std::string> buttons() const;

    Kind kind;
    std::string message;
    /// The update, for updateAvailable only.
    std::optional<desktop::UpdateItem> update;
};

/// The banner's and the dialog's sentence for an update.
std::string updateAvailableText(const desktop::UpdateItem& update);

} // namespace velmora
