#pragma once
// The update feed: an XML document
//   <updates><item version="1.2.0" displayVersion="1.2" url="https://…"/>…</updates>
// Every item must be sound (a version of dot-separated numbers, an address the updater may open), so a
// feed broken anywhere is reported instead of being half believed. Other elements are ignored.

#include "Platform/Desktop/Updates/UpdateItem.h"

#include <optional>
#include <string_view>
#include <vector>

namespace desktop {

class UpdateFeed {
public:
    /// Throws UpdateFeedError (notXml, noItems, badVersion, refusedUrl).
    static UpdateFeed parse(std::string_view document);

    /// In the feed's order; never empty.
    const std::vector<UpdateItem>& items() const { return items_; }

    /// The newest item above the running version (the first of several equal ones), if any.
    std::optional<UpdateItem> newestAbove(const UpdateVersion& running) const;

private:
    explicit UpdateFeed(std::vector<UpdateItem> items) : items_(std::move(items)) {}

    std::vector<UpdateItem> items_;
};

} // namespace desktop
