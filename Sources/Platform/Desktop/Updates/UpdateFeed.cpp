#include "Platform/Desktop/Updates/UpdateFeed.h"

#include "Platform/Desktop/Updates/UpdateFeedError.h"
#include "Platform/Desktop/Updates/UpdateUrlPolicy.h"

#include <cstring>
#include <pugixml.hpp>

namespace desktop {

namespace {

using Code = UpdateFeedError::Code;

UpdateItem readItem(const pugi::xml_node& node) {
    const std::string versionText = node.attribute("version").as_string();
    const auto version = UpdateVersion::parse(versionText);
    if (!version) {
        throw UpdateFeedError(Code::badVersion,
                              "フィードの項目のバージョンが正しくありません: \"" + versionText + "\"");
    }
    const std::string url = node.attribute("url").as_string();
    if (!isAllowedUpdateUrl(url)) {
        throw UpdateFeedError(Code::refusedUrl, "フィードの項目のアドレスは開けません: \"" + url + "\"");
    }
    std::string displayVersion = node.attribute("displayVersion").as_string();
    if (displayVersion.empty()) {
        displayVersion = versionText;
    }
    return UpdateItem(*version, std::move(displayVersion), url);
}

} // namespace

UpdateFeed UpdateFeed::parse(std::string_view document) {
    pugi::xml_document xml;
    const pugi::xml_parse_result parsed = xml.load_buffer(document.data(), document.size());
    if (!parsed) {
        throw UpdateFeedError(Code::notXml,
                              std::string("フィードをXMLとして読めません: ") + parsed.description());
    }
    const pugi::xml_node root = xml.document_element();
    if (std::strcmp(root.name(), "updates") != 0) {
        throw UpdateFeedError(Code::noItems, "フィードに <updates> がありません");
    }
    std::vector<UpdateItem> items;
    for (const pugi::xml_node& node : root.children("item")) {
        items.push_back(readItem(node));
    }
    if (items.empty()) {
        throw UpdateFeedError(Code::noItems, "フィードに項目がありません");
    }
    return UpdateFeed(std::move(items));
}

std::optional<UpdateItem> UpdateFeed::newestAbove(const UpdateVersion& running) const {
    const UpdateItem* newest = nullptr;
    for (const UpdateItem& item : items_) {
        if (item.version() > running && (!newest || item.version() > newest->version())) {
            newest = &item;
        }
    }
    return newest ? std::optional<UpdateItem>(*newest) : std::nullopt;
}

} // namespace desktop
