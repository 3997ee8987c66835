#pragma once
// One update offered by the feed: its version, the version shown to the user and the page that gets it.

#include "Platform/Desktop/Updates/UpdateVersion.h"

#include <string>

namespace desktop {

class UpdateItem {
public:
    UpdateItem(UpdateVersion version, std::string displayVersionString, std::string url)
        : version_(std::move(version)), displayVersionString_(std::move(displayVersionString)),
          url_(std::move(url)) {}

    const UpdateVersion& version() const { return version_; }
    /// What the notice shows ("1.2.0"); the version itself when the feed gives no display version.
    const std::string& displayVersionString() const { return displayVersionString_; }
    /// Where the update is downloaded; always an address the update policy lets us open.
    const std::string& url() const { return url_; }

    bool operator==(const UpdateItem& other) const = default;

private:
    UpdateVersion version_;
    std::string displayVersionString_;
    std::string url_;
};

} // namespace desktop
