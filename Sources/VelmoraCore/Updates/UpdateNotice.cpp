#include "VelmoraCore/Updates/UpdateNotice.h"

namespace velmora {

std::string updateAvailableText(const desktop::UpdateItem& update) {
    return "新しいバージョン " + update.displayVersionString() + " が利用可能です";
}

UpdateNotice UpdateNotice::available(const desktop::UpdateItem& update) {
    return {Kind::updateAvailable, updateAvailableText(update), update};
}

UpdateNotice UpdateNotice::upToDate() {
    return {Kind::upToDate, "最新のバージョンを使用しています。", std::nullopt};
}

UpdateNotice UpdateNotice::failed(const std::string& errorDescription) {
    return {Kind::checkFailed, "アップデートを確認できませんでした: " + errorDescription, std::nullopt};
}

std::vector<std::string> UpdateNotice::buttons() const {
    if (kind == Kind::updateAvailable) {
        return {"インストール…", "後で"};
    }
    return {"OK"};
}

} // namespace velmora
